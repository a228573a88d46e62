#pragma once
// Questions the host asks the driver on a client's handle for itself (not for the client):
// each is answered at once, on the asking thread, by a driver that is not waiting for anything.

#include <cstdint>
#include <optional>

#include "kernel/io_manager.h"

namespace qorval::host {

// The driver's answer to a buffer count (its four bytes, little-endian), or nullopt when it gave
// no success at once (the handle is closing).
std::optional<uint32_t> AskBufferCount(kernel::IoManager& kernel, kernel::IoManager::Handle handle);

// The receive buffers filled, from a buffer count's answer.
inline uint16_t FramesWaitingOf(uint32_t counts) {
    return static_cast<uint16_t>(counts & 0xFFFF);
}

// Whether the driver answers a read at once now: a read of no bytes, which touches no frame,
// goes through the same door as any read (held back while the device stops or sleeps, failed
// once it is gone).
bool DriverLetsAReadThrough(kernel::IoManager& kernel, kernel::IoManager::Handle handle);

}  // namespace qorval::host
