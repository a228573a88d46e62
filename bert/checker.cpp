#include "bert/checker.h"

#include <algorithm>
#include <array>
#include <bit>
#include <cstring>

#include "bert/pattern.h"

namespace qorval::bert {
namespace {

constexpr uint32_t kLastIndex = kFrameSize - 1;  // 510: the byte before a frame start
constexpr uint32_t kSyncConfidence = 3;

// The frame bytes twice over plus a word of slack, so that a run starting at any frame index
// reads the pattern as one contiguous block, eight bytes at a time.
constexpr std::array<uint8_t, 2 * kFrameSize + 8> MakeRepeatedFrame() {
    std::array<uint8_t, 2 * kFrameSize + 8> out{};
    for (size_t i = 0; i < out.size(); ++i) {
        out[i] = kPattern[i % kFrameSize];
    }
    return out;
}
constexpr auto kRepeated = MakeRepeatedFrame();

uint64_t Load64(const uint8_t* p) {
    uint64_t v;
    std::memcpy(&v, p, sizeof v);
    return v;
}

uint64_t DifferingBits(const uint8_t* a, const uint8_t* b, size_t n) {
    if (std::memcmp(a, b, n) == 0) {
        return 0;  // the usual case on a clean line
    }
    uint64_t bits = 0;
    size_t i = 0;
    for (; i + 8 <= n; i += 8) {
        bits += static_cast<uint64_t>(std::popcount(Load64(a + i) ^ Load64(b + i)));
    }
    for (; i < n; ++i) {
        bits += static_cast<uint64_t>(std::popcount(static_cast<uint8_t>(a[i] ^ b[i])));
    }
    return bits;
}

}  // namespace

void BertChecker::Check(const uint8_t* data, size_t length, BertCounters& counters) {
    Totals totals;
    size_t i = 0;
    while (i < length) {
        if (state_ == SyncState::kInSync && frameIndex_ < kLastIndex) {
            i += CheckRun(data + i, length - i, totals);
        } else {
            CheckOne(data[i++], totals);
        }
    }
    AddWrapping(counters.bytesChecked, totals.bytesChecked);
    AddWrapping(counters.bitErrors, totals.bitErrors);
    AddWrapping(counters.syncLosses, totals.syncLosses);
    counters.syncState.store(state_, std::memory_order_relaxed);
}

size_t BertChecker::CheckRun(const uint8_t* data, size_t length, Totals& totals) {
    const size_t n = std::min<size_t>(length, kLastIndex - frameIndex_);
    totals.bitErrors += DifferingBits(data, kRepeated.data() + frameIndex_ + 1, n);
    totals.bytesChecked += n;
    frameIndex_ += static_cast<uint32_t>(n);
    return n;
}

void BertChecker::CheckOne(uint8_t d, Totals& totals) {
    switch (state_) {
        case SyncState::kOutOfSync:
            if (d == kPattern[0]) {
                searchCount_ = 0;
                confidence_ = 0;
                state_ = SyncState::kSearching;
            }
            return;
        case SyncState::kSearching:
            if (searchCount_ == 0) {
                if (d == kPattern[1]) {
                    searchCount_ = 1;
                } else {
                    state_ = SyncState::kOutOfSync;
                }
            } else if (searchCount_ < kLastIndex) {
                ++searchCount_;  // the rest of the frame is not examined while searching
            } else {
                searchCount_ = 0;
                if (d != kPattern[0]) {
                    confidence_ = 0;
                    state_ = SyncState::kOutOfSync;
                } else if (++confidence_ == kSyncConfidence) {
                    frameIndex_ = 0;
                    state_ = SyncState::kInSync;
                    ++totals.bytesChecked;
                }
            }
            return;
        case SyncState::kInSync:
            if (++frameIndex_ > kLastIndex) {
                frameIndex_ = 0;
                if (d == kPattern[0]) {
                    confidence_ = kSyncConfidence;
                } else if (--confidence_ == 0) {
                    ++totals.syncLosses;
                    state_ = SyncState::kOutOfSync;
                }
            }
            // A mismatching frame start is still checked, also the one that loses sync.
            totals.bitErrors += static_cast<uint64_t>(
                std::popcount(static_cast<uint8_t>(d ^ kPattern[frameIndex_])));
            ++totals.bytesChecked;
            return;
    }
}

}  // namespace qorval::bert
