// The pattern and the checker against an independent reference: a PRBS9 stream made by a plain
// shift register here, not by the tester's generator.

#include <gtest/gtest.h>

#include <bit>
#include <random>
#include <vector>

#include "bert/checker.h"
#include "bert/pattern.h"

namespace {

using qorval::bert::BertChecker;
using qorval::bert::BertCounters;
using qorval::bert::kFrameSize;
using qorval::bert::kPattern;
using qorval::bert::SyncState;

// x^9 + x^5 + 1: every bit is the XOR of the bits 9 and 5 places before it; bytes are filled
// least significant bit first.
std::vector<uint8_t> Prbs9Bytes(size_t count) {
    std::vector<int> bits = {1, 0, 0, 0, 0, 0, 0, 0, 0};
    while (bits.size() < count * 8) {
        const size_t n = bits.size();
        bits.push_back(bits[n - 9] ^ bits[n - 5]);
    }
    std::vector<uint8_t> bytes(count);
    for (size_t i = 0; i < count * 8; ++i) {
        bytes[i / 8] |= static_cast<uint8_t>(bits[i] << (i % 8));
    }
    return bytes;
}

// Feeds the stream in pieces of varying size, as frames of any length would bring it.
void Feed(BertChecker& checker, const std::vector<uint8_t>& data, BertCounters& c,
          size_t piece = 97) {
    for (size_t i = 0; i < data.size(); i += piece) {
        checker.Check(data.data() + i, std::min(piece, data.size() - i), c);
    }
}

uint32_t Load(const std::atomic<uint32_t>& a) {
    return a.load();
}

std::vector<uint8_t> Frames(size_t count) {
    std::vector<uint8_t> out;
    for (size_t i = 0; i < count; ++i) {
        out.insert(out.end(), kPattern.begin(), kPattern.begin() + kFrameSize);
    }
    return out;
}

TEST(BertPattern, StartsWithTheKnownBytesAndRepeatsAfter511) {
    const uint8_t first[] = {0x21, 0x86, 0x9C, 0x6A, 0xD8, 0xCB, 0x4E, 0x14};
    EXPECT_TRUE(std::equal(std::begin(first), std::end(first), kPattern.begin()));
    EXPECT_EQ(kPattern[511], kPattern[0]);
}

TEST(BertPattern, IsTheShiftRegisterSequenceAtSomeByteOffset) {
    const auto reference = Prbs9Bytes(2 * kFrameSize);
    bool found = false;
    for (size_t offset = 0; offset < kFrameSize && !found; ++offset) {
        found =
            std::equal(kPattern.begin(), kPattern.begin() + kFrameSize, reference.begin() + offset);
    }
    EXPECT_TRUE(found);
}

TEST(BertChecker, ReachesSyncFromEveryByteOffsetOfTheReferenceStream) {
    const auto reference = Prbs9Bytes(8 * kFrameSize);
    for (size_t offset = 0; offset < kFrameSize; ++offset) {
        std::vector<uint8_t> stream(reference.begin() + offset,
                                    reference.begin() + offset + 6 * kFrameSize);
        BertChecker checker;
        BertCounters c;
        Feed(checker, stream, c);
        ASSERT_EQ(checker.State(), SyncState::kInSync) << "offset " << offset;
        EXPECT_EQ(c.syncState.load(), SyncState::kInSync);
        EXPECT_EQ(Load(c.bitErrors), 0u) << "offset " << offset;
        EXPECT_EQ(Load(c.syncLosses), 0u);
        // Sync comes at the fourth frame start after the first one in the stream; every byte
        // from there on is checked.
        size_t first = 0;
        while (
            !std::equal(kPattern.begin(), kPattern.begin() + kFrameSize, stream.begin() + first)) {
            ++first;
        }
        EXPECT_EQ(Load(c.bytesChecked), 3 * kFrameSize - first) << "offset " << offset;
    }
}

TEST(BertChecker, CountsEveryByteFromTheSyncFrameStartOn) {
    BertChecker checker;
    BertCounters c;
    Feed(checker, Frames(10), c);
    EXPECT_EQ(Load(c.bytesChecked), 7 * kFrameSize);
}

class BertCheckerInSync : public ::testing::Test {
  protected:
    void SetUp() override {
        Feed(checker, Frames(4), c);
        ASSERT_EQ(checker.State(), SyncState::kInSync);
        c.ResetStatistics();
    }
    // One frame with its first byte replaced.
    void BadStart() {
        auto frame = Frames(1);
        frame[0] ^= 0x01;
        checker.Check(frame.data(), frame.size(), c);
    }
    void GoodFrame() {
        auto frame = Frames(1);
        checker.Check(frame.data(), frame.size(), c);
    }
    BertChecker checker;
    BertCounters c;
};

TEST_F(BertCheckerInSync, OneBadFrameStartLowersConfidenceOnly) {
    BadStart();
    EXPECT_EQ(checker.State(), SyncState::kInSync);
    EXPECT_EQ(checker.Confidence(), 2u);
    EXPECT_EQ(Load(c.bitErrors), 1u);
    BadStart();
    GoodFrame();
    EXPECT_EQ(checker.Confidence(), 3u) << "a matching frame start restores full confidence";
    EXPECT_EQ(Load(c.syncLosses), 0u);
}

TEST_F(BertCheckerInSync, ThreeBadFrameStartsInARowLoseSync) {
    BadStart();
    BadStart();
    EXPECT_EQ(checker.State(), SyncState::kInSync);
    // The frame start that loses sync is itself still checked; after it the checker is out of
    // sync and the rest of that frame is not counted.
    const uint32_t before = Load(c.bytesChecked);
    BadStart();
    EXPECT_EQ(checker.State(), SyncState::kOutOfSync);
    EXPECT_EQ(Load(c.syncLosses), 1u);
    EXPECT_EQ(Load(c.bytesChecked), before + 1);
    EXPECT_EQ(c.syncState.load(), SyncState::kOutOfSync);
    EXPECT_EQ(Load(c.bitErrors), 3u);
}

TEST_F(BertCheckerInSync, CountsExactlyTheFlippedBits) {
    struct Flip {
        size_t at;
        uint8_t mask;
    };
    const std::vector<Flip> flips = {
        {0, 0x80},                       // a frame start (the one byte checked on its own)
        {1, 0xFF},                       // the first byte of a run
        {7, 0x01},         {8, 0x03},    // either side of a word boundary
        {96, 0x10},        {97, 0x10},   // either side of a piece boundary
        {509, 0x55},       {510, 0xAA},  // the last bytes of a frame
        {511 + 300, 0x0F},
    };
    auto stream = Frames(3);
    uint64_t expected = 0;
    for (const Flip& f : flips) {
        stream[f.at] ^= f.mask;
        expected += std::popcount(f.mask);
    }
    Feed(checker, stream, c);
    EXPECT_EQ(Load(c.bitErrors), expected);
    EXPECT_EQ(Load(c.bytesChecked), stream.size());
}

// The run of a frame at once must count what byte-at-a-time checking counts, whatever the
// piece sizes and errors.
TEST(BertChecker, PieceSizesDoNotChangeTheCounts) {
    std::mt19937 rng(7);
    auto stream = Frames(40);
    for (int i = 0; i < 300; ++i) {
        stream[rng() % stream.size()] ^= static_cast<uint8_t>(1u << (rng() % 8));
    }
    for (size_t i = 5000; i < 5000 + 3 * kFrameSize; ++i) {
        stream[i] = static_cast<uint8_t>(rng());  // garbage long enough to lose sync
    }
    BertChecker byteWise;
    BertCounters reference;
    Feed(byteWise, stream, reference, 1);
    ASSERT_GT(Load(reference.syncLosses), 0u);
    for (size_t piece : {2u, 8u, 255u, 511u, 1024u, 20000u}) {
        BertChecker checker;
        BertCounters c;
        Feed(checker, stream, c, piece);
        EXPECT_EQ(Load(c.bitErrors), Load(reference.bitErrors)) << "piece " << piece;
        EXPECT_EQ(Load(c.bytesChecked), Load(reference.bytesChecked)) << "piece " << piece;
        EXPECT_EQ(Load(c.syncLosses), Load(reference.syncLosses)) << "piece " << piece;
        EXPECT_EQ(checker.State(), byteWise.State());
    }
}

TEST(BertCounters, WrapAtTheLargestSignedValue) {
    struct Case {
        uint32_t start;
        uint64_t add;
        uint32_t expected;
    };
    const Case cases[] = {
        {0x7FFFFFFE, 1, 0},  // the next error bit after 2,147,483,646
        {0x7FFFFFFD, 1, 0x7FFFFFFE},
        {0x7FFFFFFD, 3, 1},
        {0x7FFFFFF0, 0x7FFFFFFF, 0x7FFFFFF0},
        {5, 0, 5},
    };
    for (const Case& t : cases) {
        std::atomic<uint32_t> counter{t.start};
        qorval::bert::AddWrapping(counter, t.add);
        EXPECT_EQ(counter.load(), t.expected) << t.start << " + " << t.add;
    }
}

TEST(BertChecker, BitErrorCounterWrapsOnTheNextErrorBit) {
    BertChecker checker;
    BertCounters c;
    Feed(checker, Frames(4), c);
    c.bitErrors = 0x7FFFFFFE;
    auto frame = Frames(1);
    frame[10] ^= 0x01;
    checker.Check(frame.data(), frame.size(), c);
    EXPECT_EQ(Load(c.bitErrors), 0u);
}

}  // namespace
