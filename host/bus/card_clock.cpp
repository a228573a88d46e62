#include "host/bus/card_clock.h"

#include <pthread.h>

#include <algorithm>

namespace qorval::host {

namespace {
// The longest the thread sleeps with nothing scheduled; only bounds how late a stop is seen.
constexpr auto kIdleSleep = std::chrono::milliseconds(50);
// Deliveries of a line that stays asserted before the clock moves on (a card the driver does
// not quiet must not stall every other line).
constexpr int kMaxDeliveries = 8;
}  // namespace

void CardClock::Start() {
    {
        std::lock_guard guard(wake_lock_);
        stopping_ = false;
        running_ = true;
    }
    thread_ = std::thread([this] { Loop(); });
}

void CardClock::Stop() {
    {
        std::lock_guard guard(wake_lock_);
        stopping_ = true;
        running_ = false;
    }
    wake_.notify_one();
    if (thread_.joinable()) {
        thread_.join();
    }
}

void CardClock::SetLines(std::vector<RunLine> lines) {
    std::lock_guard guard(lines_lock_);
    lines_ = std::move(lines);
}

void CardClock::Wake() {
    {
        std::lock_guard guard(wake_lock_);
        woken_ = true;
    }
    wake_.notify_one();
}

void CardClock::StepNow() {
    {
        std::lock_guard guard(wake_lock_);
        if (!running_) {
            return;
        }
    }
    const auto next_wake = StepAll();
    if (after_steps_) {
        after_steps_();
    }
    bool wake = false;
    {
        std::lock_guard guard(wake_lock_);
        if (next_wake < looks_at_) {
            woken_ = true;
            wake = true;
        }
    }
    if (wake) {
        wake_.notify_one();
    }
}

void CardClock::StepIfDue() {
    const int64_t now = std::chrono::duration_cast<std::chrono::nanoseconds>(
                            std::chrono::steady_clock::now().time_since_epoch())
                            .count();
    if (now >= due_.load(std::memory_order_relaxed)) {
        StepNow();
    }
}

std::chrono::steady_clock::time_point CardClock::StepAll() {
    using namespace std::chrono;
    const auto now = steady_clock::now();
    auto next_wake = now + kIdleSleep;
    std::lock_guard guard(lines_lock_);
    for (RunLine& run : lines_) {
        for (CardLock* lock : run.locks) {
            lock->lock();
        }
        const uint64_t target =
            static_cast<uint64_t>(duration_cast<nanoseconds>(now - run.origin).count());
        if (target > run.line->NowNanoseconds()) {
            run.line->Advance(target - run.line->NowNanoseconds());
        }
        // The line is level-sensitive: an interrupt raised while the driver stalled in a copy
        // (no step saw it) is still asserted here and is delivered now.
        for (size_t i = 0; i < run.cards.size(); ++i) {
            for (int pass = 0; pass < kMaxDeliveries && run.cards[i]->InterruptAsserted(); ++pass) {
                run.interrupts[i]();
            }
        }
        uint64_t next = sim::SimCard::kNever;
        for (const sim::SimCard* card : run.cards) {
            next = std::min(next, card->NextEventTime());
        }
        for (auto it = run.locks.rbegin(); it != run.locks.rend(); ++it) {
            (*it)->UnlockAfterStep();
        }
        if (next != sim::SimCard::kNever) {
            next_wake = std::min(next_wake, run.origin + nanoseconds(next));
        }
    }
    due_.store(duration_cast<nanoseconds>(next_wake.time_since_epoch()).count(),
               std::memory_order_relaxed);
    return next_wake;
}

void CardClock::SetAfterSteps(std::function<void()> after_steps) {
    after_steps_ = std::move(after_steps);
}

void CardClock::Loop() {
    (void)::pthread_setname_np(::pthread_self(), "wyvel32 clock");
    while (true) {
        {
            std::lock_guard guard(wake_lock_);
            looks_at_ = std::chrono::steady_clock::time_point::min();
        }
        const auto next_wake = StepAll();
        if (after_steps_) {
            after_steps_();
        }
        std::unique_lock guard(wake_lock_);
        looks_at_ = next_wake;
        wake_.wait_until(guard, next_wake, [this] { return woken_ || stopping_; });
        if (stopping_) {
            return;
        }
        woken_ = false;
    }
}

}  // namespace qorval::host
