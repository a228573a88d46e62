// Statistics of one capture: frames and bytes each way, frames a second and bit rate over the
// last whole second and at their peak, errors by kind, and frames counted by type. Times are
// nanoseconds since 1970 on the clock the frames' arrival times are taken from.
#pragma once

#include <array>
#include <cstdint>
#include <string_view>
#include <utility>
#include <vector>

#include "analyser/filter/frame_facts.h"

namespace qorval::analyser {

struct DirectionTotals {
    uint64_t frames = 0;
    uint64_t bytes = 0;

    bool operator==(const DirectionTotals&) const = default;
};

struct Rate {
    uint64_t framesPerSecond = 0;
    uint64_t bitsPerSecond = 0;  // of the frames' bytes (address to information field)

    bool operator==(const Rate&) const = default;
};

// Error kinds in the order they are shown; an aborted frame never reaches the analyser (the
// card discards it), so there is no count for it.
inline constexpr FrameError kCountedErrors[] = {FrameError::Crc, FrameError::Overrun,
                                                FrameError::Short, FrameError::Malformed,
                                                FrameError::Other};

struct StatisticsSnapshot {
    uint64_t elapsedNs = 0;
    DirectionTotals received;
    DirectionTotals sent;
    Rate now;   // over the last whole second
    Rate peak;  // the busiest second so far
    std::array<uint64_t, std::size(kCountedErrors)> errors{};
    // Frames by kind ("I", "RR", "LMI STATUS", ...), the most frequent first.
    std::vector<std::pair<std::string_view, uint64_t>> kinds;

    uint64_t ErrorCount(FrameError error) const;
};

class CaptureStatistics {
  public:
    // Clears every count; seconds are counted from `startNs`.
    void Start(uint64_t startNs);
    // Counts one frame taken from or put on the port at `timeNs`.
    void Add(const FrameFacts& facts, uint64_t timeNs);
    StatisticsSnapshot Snapshot(uint64_t nowNs) const;
    uint64_t Frames() const { return received_.frames + sent_.frames; }

  private:
    struct Second {
        uint64_t frames = 0;
        uint64_t bytes = 0;
    };
    void MoveTo(uint64_t second);

    uint64_t startNs_ = 0;
    DirectionTotals received_;
    DirectionTotals sent_;
    uint64_t currentSecond_ = 0;  // seconds since the start of the second being counted
    Second current_;
    Second previous_;  // the whole second before it (empty when it had no frame)
    Second peak_;
    std::array<uint64_t, std::size(kCountedErrors)> errors_{};
    std::vector<std::pair<std::string_view, uint64_t>> kinds_;  // in order of first sight
};

}  // namespace qorval::analyser
