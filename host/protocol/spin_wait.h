#pragma once
// A brief, bounded spin for the request ring's two sides: while the other side runs on another
// processor, an answer comes within microseconds and waiting for it in a system call would
// cost more than the request itself. The spin pauses the processor for a short while, then
// yields it to other threads, and gives up after its budget, so that the caller goes to sleep
// on its wake channel: an idle side uses no processor time, and on a loaded machine the thread
// it waits for gets the processor.
//
// How long to pause is learnt from the waits before. When the other side answers while this
// one pauses, it runs on another processor, and the pause may grow back to its longest. When
// the answer comes only after a yield, the other side was waiting for this processor, and
// every pause before the yield only kept it from running, so the next pause is halved, down
// to a fraction of a microsecond that still shows when the other side runs again. On a machine with fewer processors than busy threads the two sides then hand the
// processor to each other at once.

#include <algorithm>
#include <atomic>
#include <chrono>
#include <thread>

#include "host/kernel/processor_pause.h"

namespace qorval::protocol {

using kernel::PauseProcessor;

class SpinWait {
  public:
    SpinWait(std::chrono::nanoseconds longest_pause, std::chrono::nanoseconds budget)
        : longest_pause_(longest_pause.count()), budget_(budget), pause_for_(longest_pause.count()) {}

    // Returns whether `done()` became true within the budget. Callable from several threads
    // at once: they share what was learnt.
    template <typename Done>
    bool Until(Done&& done) {
        using Clock = std::chrono::steady_clock;
        constexpr int kChecksPerClockRead = 16;
        if (done()) {
            return true;
        }
        const auto pause_for = PauseFor();
        const auto start = Clock::now();
        bool yielding = false;
        for (;;) {
            for (int i = 0; i < kChecksPerClockRead; ++i) {
                if (done()) {
                    Learn(!yielding);
                    return true;
                }
                if (yielding) {
                    std::this_thread::yield();
                } else {
                    PauseProcessor();
                }
            }
            const auto spent = Clock::now() - start;
            if (spent >= budget_) {
                Learn(false);
                return done();
            }
            yielding = spent >= pause_for;
        }
    }

    // How long the next wait pauses before it yields.
    std::chrono::nanoseconds PauseFor() const {
        return std::chrono::nanoseconds(pause_for_.load(std::memory_order_relaxed));
    }

  private:
    static constexpr int64_t kShortestPause = 200;  // ns

    void Learn(bool answered_while_pausing) {
        const int64_t now = pause_for_.load(std::memory_order_relaxed);
        const int64_t next = answered_while_pausing
                                 ? std::min(longest_pause_, now * 2)
                                 : std::max(kShortestPause, now / 2);
        if (next != now) {
            pause_for_.store(next, std::memory_order_relaxed);
        }
    }

    const int64_t longest_pause_;
    const std::chrono::nanoseconds budget_;
    std::atomic<int64_t> pause_for_;
};

}  // namespace qorval::protocol
