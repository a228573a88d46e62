#pragma once
// Starting the channel when a port is opened (or its state changed): the whole board set-up
// followed by InitPort, all under the port's interrupt lock.

#include "driver/ntstatus.h"
#include "driver/port_context.h"

namespace wyvel32 {

// Line interface, TxC pin, FIFOs purged, interrupts armed, both lists built and receive DMA
// started; the transmitter is left idle. Runs under the interrupt lock after ResetBoard and
// SetupBoard succeeded. The line interface result is not checked: an interface the board lacks
// leaves the board's line register as it was and the port still opens.
bool InitPort(PortContext& port);

// The open-time initialisation: ring state cleared, then board presence, ResetBoard,
// SetupBoard and InitPort, all holding the interrupt lock. The first failure ends it with
// STATUS_UNSUCCESSFUL.
NTSTATUS OpenTimeInitialisation(PortContext& port);

}  // namespace wyvel32
