#pragma once
// A brief, bounded spin for the request ring's two sides: while the other side runs on another
// processor, an answer comes within microseconds and waiting for it in a system call would
// cost more than the request itself. The spin pauses the processor for a short while, then
// yields it to other threads, and gives up after `budget`, so that the caller goes to sleep on
// its wake channel: an idle side uses no processor time, and on a loaded machine the thread
// it waits for gets the processor.

#include <chrono>
#include <thread>

namespace qorval::protocol {

inline void PauseProcessor() {
#if defined(__x86_64__) || defined(__i386__)
    __builtin_ia32_pause();
#elif defined(__aarch64__)
    asm volatile("yield");
#endif
}

// Returns whether `done()` became true within the budget.
template <typename Done>
bool SpinBriefly(Done&& done, std::chrono::nanoseconds pause_for, std::chrono::nanoseconds budget) {
    using Clock = std::chrono::steady_clock;
    constexpr int kChecksPerClockRead = 16;
    const auto start = Clock::now();
    bool yielding = false;
    for (;;) {
        for (int i = 0; i < kChecksPerClockRead; ++i) {
            if (done()) {
                return true;
            }
            if (yielding) {
                std::this_thread::yield();
            } else {
                PauseProcessor();
            }
        }
        const auto spent = Clock::now() - start;
        if (spent >= budget) {
            return done();
        }
        yielding = spent >= pause_for;
    }
}

}  // namespace qorval::protocol
