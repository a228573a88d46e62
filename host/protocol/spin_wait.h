#pragma once
// A brief, bounded wait for the request ring's two sides: an answer from a side that is
// running comes within microseconds, and sleeping on a wake channel for it would cost far
// more than the request itself (tens of microseconds on a virtual machine to wake a thread on
// an idle processor). So a waiting side first looks again and again, yielding the processor
// between looks, and only when its budget is spent goes to sleep on its wake channel: an idle
// side uses no processor time.
//
// It yields rather than pausing the processor. When the other side runs on another
// processor and nothing else wants this one, a yield returns at once, so the answer is seen
// within a system call's time. When the other side waits for this very processor (more busy
// threads than processors, as with a tool, the driver host and a far end on two cores), every
// pause would only keep it from running, while a yield hands the processor over at once.
// Measured on two cores: pausing first, even for a fraction of a microsecond, carried fewer
// frames through the library in every case (docs/request-transport.md).

#include <chrono>
#include <thread>

namespace qorval::protocol {

// Returns whether `done()` became true within `budget`.
template <typename Done>
bool YieldUntil(Done&& done, std::chrono::nanoseconds budget) {
    using Clock = std::chrono::steady_clock;
    constexpr int kLooksPerClockRead = 8;
    if (done()) {
        return true;
    }
    const auto start = Clock::now();
    for (;;) {
        for (int i = 0; i < kLooksPerClockRead; ++i) {
            std::this_thread::yield();
            if (done()) {
                return true;
            }
        }
        if (Clock::now() - start >= budget) {
            return done();
        }
    }
}

}  // namespace qorval::protocol
