#include "analyser/statistics/capture_statistics.h"

#include <gtest/gtest.h>

#include <vector>

#include "analyser/decode/link_protocol.h"
#include "analyser/statistics/statistics_text.h"
#include "portaccess/qorval32.h"

namespace qorval::analyser {
namespace {

constexpr uint64_t kStart = 1'700'000'000'000'000'000;  // nanoseconds since 1970
constexpr uint64_t kSecond = 1'000'000'000;

class StatisticsOfACapture : public testing::Test {
  protected:
    void SetUp() override { statistics_.Start(kStart); }

    void Add(std::vector<uint8_t> bytes, uint64_t atNs, bool sent = false,
             uint32_t result = QORVAL_OK, decode::LinkProtocol link = decode::LinkProtocol::Lapb) {
        const decode::DecodedFrame decoded = decode::DecodeFrame(link, bytes);
        statistics_.Add(FrameFacts{.length = static_cast<uint32_t>(bytes.size()),
                                   .sent = sent,
                                   .result = result,
                                   .decoded = &decoded},
                        kStart + atNs);
    }

    CaptureStatistics statistics_;
};

TEST_F(StatisticsOfACapture, CountsEachDirectionErrorsByKindAndFramesByType) {
    Add({0x01, 0x3F}, 0, true);                          // SABM sent
    Add({0x01, 0x73}, 10);                               // UA
    Add({0x01, 0x00, 0x10, 0x01, 0x00, 1, 2, 3}, 20, true);  // I
    Add({0x01, 0x21}, 30);                               // RR
    Add({0x01, 0x02, 0x10, 0x01, 0x02}, 40);             // I
    Add({0x01, 0x21}, 50, false, QORVAL_CRC_ERROR);      // RR with a CRC error
    Add({0x01, 0x21, 0x00}, 60, false, QORVAL_OVERRUN);  // overrun
    Add({0x01}, 70);                                     // short
    Add({0x01, 0x3F, 0x00}, 80);                         // SABM with information: malformed
    Add({0x01, 0x21}, 90, false, QORVAL_LINE_ERROR);     // other
    const StatisticsSnapshot s = statistics_.Snapshot(kStart + 100);
    EXPECT_EQ(s.sent, (DirectionTotals{2, 10}));
    EXPECT_EQ(s.received, (DirectionTotals{8, 20}));
    EXPECT_EQ(s.ErrorCount(FrameError::Crc), 1u);
    EXPECT_EQ(s.ErrorCount(FrameError::Overrun), 1u);
    EXPECT_EQ(s.ErrorCount(FrameError::Short), 1u);
    EXPECT_EQ(s.ErrorCount(FrameError::Malformed), 1u);
    EXPECT_EQ(s.ErrorCount(FrameError::Other), 1u);
    // Frames with errors are still counted by the type their bytes decode to.
    using Kinds = std::vector<std::pair<std::string_view, uint64_t>>;
    EXPECT_EQ(s.kinds, (Kinds{{"RR", 4}, {"SABM", 2}, {"I", 2}, {"UA", 1}}));
    EXPECT_EQ(FormatStatistics(s),
              "Statistics (0 ms)\n"
              "  Received: 8 frames, 20 bytes\n"
              "  Sent: 2 frames, 10 bytes\n"
              "  Frames/s: now 0, peak 10\n"
              "  Bit rate: now 0 bit/s, peak 240 bit/s\n"
              "  Errors: CRC 1, overrun 1, abort not reported, short 1, malformed 1, other 1\n"
              "  Frame types: RR 4, SABM 2, I 2, UA 1\n");
}

TEST_F(StatisticsOfACapture, RatesAreTheLastWholeSecondAndTheBusiestOne) {
    for (int i = 0; i < 3; ++i) {
        Add({0x01, 0x21}, i * 1000000);  // second 0: 3 frames
    }
    for (int i = 0; i < 5; ++i) {
        Add({0x01, 0x21, 0, 0}, kSecond + i * 1000000);  // second 1: 5 frames of 4 bytes
    }
    Add({0x01, 0x21}, 2 * kSecond + 5);  // second 2: 1 frame
    // Within second 2 the last whole second is second 1.
    StatisticsSnapshot s = statistics_.Snapshot(kStart + 2 * kSecond + kSecond / 2);
    EXPECT_EQ(s.now, (Rate{5, 160}));
    EXPECT_EQ(s.peak, (Rate{5, 160}));
    // Once second 2 is over it is the last whole second.
    s = statistics_.Snapshot(kStart + 3 * kSecond + 1);
    EXPECT_EQ(s.now, (Rate{1, 16}));
    // A quiet line reads 0 now, and keeps its peak.
    s = statistics_.Snapshot(kStart + 5 * kSecond);
    EXPECT_EQ(s.now, (Rate{0, 0}));
    EXPECT_EQ(s.peak, (Rate{5, 160}));
    // A frame after idle seconds: the second before it was empty.
    Add({0x01, 0x21}, 7 * kSecond);
    s = statistics_.Snapshot(kStart + 7 * kSecond + 10);
    EXPECT_EQ(s.now, (Rate{0, 0}));
    EXPECT_EQ(s.elapsedNs, 7 * kSecond + 10);
}

TEST_F(StatisticsOfACapture, StartingAgainClearsEverything) {
    Add({0x01, 0x21}, 0, false, QORVAL_CRC_ERROR);
    statistics_.Start(kStart + 10 * kSecond);
    const StatisticsSnapshot s = statistics_.Snapshot(kStart + 10 * kSecond);
    EXPECT_EQ(s.received, DirectionTotals{});
    EXPECT_EQ(s.ErrorCount(FrameError::Crc), 0u);
    EXPECT_TRUE(s.kinds.empty());
    EXPECT_EQ(s.peak, Rate{});
}

TEST_F(StatisticsOfACapture, NamesFrameRelayAndCiscoHdlcFramesByTheirMessages) {
    Add({0x00, 0x01, 0x03, 0x08, 0x00, 0x75, 0x95}, 0, false, QORVAL_OK,
        decode::LinkProtocol::FrameRelay);
    Add({0x18, 0x41, 0x03, 0xCC}, 1, false, QORVAL_OK, decode::LinkProtocol::FrameRelay);
    Add({0x18, 0x41}, 2, false, QORVAL_OK, decode::LinkProtocol::FrameRelay);
    Add({0x8F, 0x00, 0x80, 0x35, 0, 0, 0, 2, 0, 0, 0, 1, 0, 0, 0, 0}, 3, false, QORVAL_OK,
        decode::LinkProtocol::CiscoHdlc);
    Add({0x0F, 0x00, 0x08, 0x00}, 4, false, QORVAL_OK, decode::LinkProtocol::CiscoHdlc);
    using Kinds = std::vector<std::pair<std::string_view, uint64_t>>;
    EXPECT_EQ(statistics_.Snapshot(kStart + 5).kinds,
              (Kinds{{"IP", 2}, {"LMI STATUS-ENQ", 1}, {"data", 1}, {"SLARP KEEPALIVE", 1}}));
}

}  // namespace
}  // namespace qorval::analyser
