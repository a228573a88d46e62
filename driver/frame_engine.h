#pragma once
// The frame engine: the interrupt service routine and its four handlers, reading the oldest
// received frame, queueing a frame for transmission, and resetting either ring. Everything here
// runs holding the port's interrupt lock (ServiceInterrupt is called holding it; the rest
// through SynchronizeExecution).

#include <cstdint>

#include "driver/port_context.h"

namespace wyvel32 {

// Bound on the passes of each service loop, so a board that never drops its request cannot
// hold the processor forever. A working board needs one or two passes.
inline constexpr uint32_t kMaxServicePasses = 64;

// Services the port's interrupt. Returns false when the board did not request it.
bool ServiceInterrupt(PortContext& port);

// Takes the oldest received frame into port.ReadBuffer (port.ReadLength bytes of room).
// Returns true when a frame was taken: port.ReadLength then holds the bytes delivered and
// PortFlags may carry RX_OVERRUN / RX_CRC_ERROR. Returns false when no frame is waiting, or when
// the waiting frame needs more room: port.ReadLength then holds the length it needs (0 when none
// is waiting) and the frame stays first in line.
bool ReadFrame(PortContext& port);

// Queues port.TransferLength bytes from port.TransferBuffer into the next free transmit
// buffer and starts the transmitter when it was idle. Returns false when no buffer is free (or
// the frame is longer than a buffer); nothing is queued then.
bool WriteFrame(PortContext& port);

// Drop every received frame / every queued frame and rebuild that list.
void ResetReceive(PortContext& port);
void ResetTransmit(PortContext& port);

// The ring index after `index` in a ring of `count` entries.
constexpr uint32_t NextIndex(uint32_t index, uint32_t count) {
    return index + 1 >= count ? 0 : index + 1;
}

// Clears the six ring fields (at every open).
void ClearRings(PortContext& port);

}  // namespace wyvel32
