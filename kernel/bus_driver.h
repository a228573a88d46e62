#pragma once
// The simulated PCI bus driver: owns the physical device object of each announced function
// and completes the Plug and Play, power and system control requests that reach the bottom
// of the stack, as a bus driver does.

#include "kernel/device_object.h"

namespace qorval::kernel {

inline constexpr const char* kBusDriverName = "\\Driver\\QorvalPci";

// Fills the dispatch table of the bus driver object.
void InitialiseBusDriver(DriverObject* driver);

}  // namespace qorval::kernel
