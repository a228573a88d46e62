#pragma once
// The arrival time of the frame a read takes, carried from the card to the read's completion.
//
// The card stamps each received frame with the moment its closing flag arrived and reports
// that moment when the driver gives the frame's receive entry back, which it does as it takes
// the frame out of card memory for a read (sim::SimCard::SetFrameTakenHandler). The bus turns
// it into the system clock and notes it here, on the thread that runs the driver's copy; the
// read's completion, on the same thread, takes it and hands it to the client with the frame.
//
// The invariant this rests on, which any rework of the request path must keep: the driver
// takes a frame out of card memory and completes the read that took it on one thread, with no
// other frame taken on that thread in between (the driver's ServeReads runs ReadFrame and then
// completes that read). So the time noted last on the completing thread is that read's frame.
// A read forgets what its thread noted before it is dispatched, because rebuilding the receive
// list (Reset Buffers, open) gives entries back too, for frames that were thrown away.

#include <cstdint>

namespace qorval::kernel::frame_arrival {

namespace detail {
inline uint64_t& Noted() {
    thread_local uint64_t noted = 0;
    return noted;
}
}  // namespace detail

// A frame was taken on this thread; it arrived at `system_ns` (nanoseconds since 1970).
inline void Note(uint64_t system_ns) {
    detail::Noted() = system_ns;
}
// Before a read is dispatched on this thread.
inline void Forget() {
    detail::Noted() = 0;
}
// At a read's completion: the time noted for its frame, 0 when none was.
inline uint64_t Take() {
    const uint64_t noted = detail::Noted();
    detail::Noted() = 0;
    return noted;
}

}  // namespace qorval::kernel::frame_arrival
