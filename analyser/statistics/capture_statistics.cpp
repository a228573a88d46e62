#include "analyser/statistics/capture_statistics.h"

#include <algorithm>

#include "analyser/decode/frame_kind.h"

namespace qorval::analyser {
namespace {

constexpr uint64_t kNanosecondsPerSecond = 1'000'000'000;

size_t ErrorIndex(FrameError error) {
    for (size_t i = 0; i < std::size(kCountedErrors); ++i) {
        if (kCountedErrors[i] == error) {
            return i;
        }
    }
    return std::size(kCountedErrors);
}

}  // namespace

uint64_t StatisticsSnapshot::ErrorCount(FrameError error) const {
    const size_t index = ErrorIndex(error);
    return index < errors.size() ? errors[index] : 0;
}

void CaptureStatistics::Start(uint64_t startNs) {
    *this = CaptureStatistics{};
    startNs_ = startNs;
}

void CaptureStatistics::MoveTo(uint64_t second) {
    if (second <= currentSecond_) {
        return;
    }
    previous_ = second == currentSecond_ + 1 ? current_ : Second{};
    current_ = Second{};
    currentSecond_ = second;
}

void CaptureStatistics::Add(const FrameFacts& facts, uint64_t timeNs) {
    // A frame stamped before the start (a clock set back) counts in the current second.
    MoveTo((std::max(timeNs, startNs_) - startNs_) / kNanosecondsPerSecond);
    DirectionTotals& totals = facts.sent ? sent_ : received_;
    ++totals.frames;
    totals.bytes += facts.length;
    ++current_.frames;
    current_.bytes += facts.length;
    // A second under way is a lower bound of some whole second's count, so the peak may take it.
    peak_.frames = std::max(peak_.frames, current_.frames);
    peak_.bytes = std::max(peak_.bytes, current_.bytes);

    const size_t error = ErrorIndex(ErrorOf(facts));
    if (error < errors_.size()) {
        ++errors_[error];
    }
    const std::string_view kind =
        facts.decoded != nullptr ? decode::FrameKind(*facts.decoded) : std::string_view{};
    if (!kind.empty()) {
        auto found = std::find_if(kinds_.begin(), kinds_.end(),
                                  [&](const auto& entry) { return entry.first == kind; });
        if (found == kinds_.end()) {
            kinds_.emplace_back(kind, 1);
        } else {
            ++found->second;
        }
    }
}

StatisticsSnapshot CaptureStatistics::Snapshot(uint64_t nowNs) const {
    StatisticsSnapshot snapshot;
    snapshot.elapsedNs = nowNs > startNs_ ? nowNs - startNs_ : 0;
    snapshot.received = received_;
    snapshot.sent = sent_;
    const uint64_t nowSecond = snapshot.elapsedNs / kNanosecondsPerSecond;
    Second last;
    if (nowSecond == currentSecond_) {
        last = previous_;
    } else if (nowSecond == currentSecond_ + 1) {
        last = current_;
    }
    snapshot.now = Rate{last.frames, last.bytes * 8};
    snapshot.peak = Rate{peak_.frames, peak_.bytes * 8};
    snapshot.errors = errors_;
    snapshot.kinds = kinds_;
    std::stable_sort(snapshot.kinds.begin(), snapshot.kinds.end(),
                     [](const auto& a, const auto& b) { return a.second > b.second; });
    return snapshot;
}

}  // namespace qorval::analyser
