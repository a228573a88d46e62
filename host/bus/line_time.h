#pragma once
// Card time inside the driver host: the card clock steps every line up to the steady clock,
// counted in nanoseconds from the bus's origin, so a card's time is a moment of the steady
// clock. These turn it into the present and into the system clock.

#include <chrono>
#include <cstdint>

namespace qorval::host {

// The present moment in card time.
inline uint64_t LineTimeNow(std::chrono::steady_clock::time_point origin) {
    using namespace std::chrono;
    return static_cast<uint64_t>(duration_cast<nanoseconds>(steady_clock::now() - origin).count());
}

// Nanoseconds since 1970 of a moment in card time: the system clock now, less how long ago the
// moment was by the steady clock (so a change of the system clock since the origin is
// followed, and the two clocks are read once each).
inline uint64_t SystemTimeOfLineTime(std::chrono::steady_clock::time_point origin,
                                     uint64_t line_ns) {
    using namespace std::chrono;
    const int64_t ago = duration_cast<nanoseconds>(steady_clock::now() - origin).count() -
                        static_cast<int64_t>(line_ns);
    const int64_t system = duration_cast<nanoseconds>(system_clock::now().time_since_epoch()).count();
    return static_cast<uint64_t>(system - ago);
}

}  // namespace qorval::host
