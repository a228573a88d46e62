#pragma once
// Starting a port's hardware from its Plug and Play resources, and releasing it again.

#include "driver/port_device.h"

namespace wyvel32 {

// The start of a device once the lower drivers have started it: resources, configuration,
// link, board check, interrupt, channel stopped until an open. Returns the status the start
// request completes with; on failure everything taken so far is given back.
NTSTATUS StartPortHardware(PortDevice& device, const qorval::kernel::Irp* start);

// Stops the DMA and interrupts, disconnects the interrupt, unmaps the windows and deletes the
// link; only when the hardware is started.
void ReleasePortHardware(PortDevice& device);

}  // namespace wyvel32
