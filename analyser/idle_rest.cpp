#include "analyser/idle_rest.h"

namespace qorval::analyser {

IdleRest::IdleRest(std::function<void()> sleep, std::function<int64_t()> nowNs)
    : sleep_(std::move(sleep)), nowNs_(std::move(nowNs)) {}

int64_t IdleRest::Now() const {
    if (nowNs_) {
        return nowNs_();
    }
    return std::chrono::duration_cast<std::chrono::nanoseconds>(
               std::chrono::steady_clock::now().time_since_epoch())
        .count();
}

void IdleRest::AfterPoll(bool idle) {
    if (!idle) {
        sleeping_ = false;
        streak_ = 0;
        return;
    }
    if (sleeping_) {
        sleep_();
        return;
    }
    const int64_t now = Now();
    if (streak_ == 0) {
        streakStartNs_ = now;  // the streak's polls are timed from the end of its first
    }
    if (++streak_ <= kQuickPolls) {
        return;
    }
    const auto quickStreak = std::chrono::nanoseconds(kQuickPoll).count() * kQuickPolls;
    if (now - streakStartNs_ < quickStreak) {
        sleeping_ = true;
        sleep_();
    }
    streak_ = 0;
}

}  // namespace qorval::analyser
