#pragma once
// The statistics the tester's workers share with its window. Each item is written by one worker
// and read (the no-data tick count also written, Reset Stats zeroes them) by the window's timer,
// so every one is an atomic; relaxed ordering is enough as no item guards another.

#include <atomic>
#include <cstdint>

namespace qorval::bert {

enum class SyncState : uint8_t { kOutOfSync = 0, kSearching = 1, kInSync = 2 };

// Bytes checked, bit errors and sync losses restart at 0 whenever an increment reaches this.
inline constexpr uint32_t kWrapAt = 0x7FFFFFFF;

// Adds `n` to a counter that restarts at 0 whenever it reaches kWrapAt, exactly as `n` single
// increments would. A compare-and-swap keeps a concurrent reset to 0 from being overwritten.
inline void AddWrapping(std::atomic<uint32_t>& counter, uint64_t n) {
    if (n == 0) {
        return;
    }
    uint32_t old = counter.load(std::memory_order_relaxed);
    uint32_t next;
    do {
        next = static_cast<uint32_t>((uint64_t{old % kWrapAt} + n) % kWrapAt);
    } while (!counter.compare_exchange_weak(old, next, std::memory_order_relaxed));
}

inline void AddOne(std::atomic<uint32_t>& counter) {
    counter.fetch_add(1, std::memory_order_relaxed);
}

// The no-data tick count starts here so that "No Data" shows before the first frame arrives.
inline constexpr uint32_t kNoDataTicksAtStart = 11;

struct BertCounters {
    std::atomic<uint32_t> txFrames{0};
    std::atomic<uint32_t> rxFrames{0};
    std::atomic<uint32_t> bytesChecked{0};  // wraps at kWrapAt
    std::atomic<uint32_t> bitErrors{0};     // wraps at kWrapAt
    std::atomic<uint32_t> syncLosses{0};    // wraps at kWrapAt
    std::atomic<uint32_t> crcErrors{0};
    std::atomic<uint32_t> overrunErrors{0};
    std::atomic<uint32_t> lineErrors{0};
    std::atomic<uint32_t> otherErrors{0};
    std::atomic<SyncState> syncState{SyncState::kOutOfSync};
    // Cleared by the receive worker on every frame, advanced by the window's timer.
    std::atomic<uint32_t> noDataTicks{kNoDataTicksAtStart};

    // Reset Stats: the nine counters; the sync state and the no-data ticks stay.
    void ResetStatistics() {
        for (auto* c : {&txFrames, &rxFrames, &bytesChecked, &bitErrors, &syncLosses, &crcErrors,
                        &overrunErrors, &lineErrors, &otherErrors}) {
            c->store(0, std::memory_order_relaxed);
        }
    }
};

}  // namespace qorval::bert
