#pragma once
// Reaching the card from a request: only while the hardware is started, and holding the
// hardware lock shared so that hardware release cannot unmap the windows meanwhile.

#include <mutex>
#include <shared_mutex>

#include "driver/interrupt_sync.h"
#include "driver/port_device.h"

namespace wyvel32 {

// Runs `routine` holding the port's interrupt lock. False (routine not run) when the
// hardware is not started.
template <class Routine>
bool WithInterruptLock(PortDevice& device, Routine&& routine) {
    std::shared_lock hardware(device.HardwareLock);
    if (!device.HardwareStarted) {
        return false;
    }
    SynchronizeExecution(*device.port.interrupt_sync, std::forward<Routine>(routine));
    return true;
}

// Runs `routine` (which takes the interrupt lock itself) while the hardware stays started.
template <class Routine>
bool WithHardware(PortDevice& device, Routine&& routine) {
    std::shared_lock hardware(device.HardwareLock);
    if (!device.HardwareStarted) {
        return false;
    }
    std::forward<Routine>(routine)();
    return true;
}

}  // namespace wyvel32
