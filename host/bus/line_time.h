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

// The system clock (nanoseconds since 1970) at card time 0, read once for the bus: card times
// become system times by adding it, so frames keep their exact order and spacing (two frames
// at one instant get one time). A later step of the system clock is not followed.
inline uint64_t SystemTimeAtLineZero(std::chrono::steady_clock::time_point origin) {
    using namespace std::chrono;
    const auto since = steady_clock::now() - origin;
    return static_cast<uint64_t>(
        duration_cast<nanoseconds>(system_clock::now().time_since_epoch() - since).count());
}

}  // namespace qorval::host
