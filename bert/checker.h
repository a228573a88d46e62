#pragma once
// The pattern checker: finds the test pattern in the received byte stream, counts every bit
// that differs from it, and notices loss of alignment.
//
// Out of sync, a byte equal to P[0] starts a search. The search wants P[1] next, then skips the
// rest of a frame and wants P[0] at the next frame start; three such frame starts in a row
// (confidence 3) declare sync. In sync, every frame start resets the confidence to 3 when it
// matches and lowers it by one when it does not; at 0 the sync is lost. Every byte in sync is
// compared with the pattern and counted as checked.
//
// The registers (search count, confidence, frame index) and the sync state persist across
// calls and across restarts of the receive worker. One thread checks at a time.

#include <cstddef>
#include <cstdint>

#include "bert/bert_counters.h"

namespace qorval::bert {

class BertChecker {
  public:
    // Checks `length` received bytes in order; adds to bytes checked, bit errors and sync losses
    // and publishes the sync state in `counters`.
    void Check(const uint8_t* data, size_t length, BertCounters& counters);

    SyncState State() const { return state_; }
    uint32_t Confidence() const { return confidence_; }

  private:
    struct Totals {
        uint64_t bytesChecked = 0;
        uint64_t bitErrors = 0;
        uint64_t syncLosses = 0;
    };
    void CheckOne(uint8_t d, Totals& totals);
    // In sync and inside a frame: the bytes up to the next frame start at once.
    size_t CheckRun(const uint8_t* data, size_t length, Totals& totals);

    SyncState state_ = SyncState::kOutOfSync;
    uint32_t searchCount_ = 0;
    uint32_t confidence_ = 0;
    uint32_t frameIndex_ = 0;
};

}  // namespace qorval::bert
