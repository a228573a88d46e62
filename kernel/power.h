#pragma once
// The power manager's side of power requests: PoRequestPowerIrp, PoStartNextPowerIrp,
// PoSetPowerState. PoCallDriver is IoCallDriver.

#include "kernel/device_object.h"

namespace qorval::kernel {

// Called when a requested device power request completes.
using PowerCompletionFunction = void (*)(DeviceObject* device, uint8_t minor,
                                         DevicePowerState state, void* context,
                                         const IoStatusBlock& status);

// Sends a new device power request (set or query) to the top of the stack `device` belongs
// to; `completion` runs when it completes. Returns STATUS_PENDING when the request was sent.
NTSTATUS PoRequestPowerIrp(DeviceObject* device, uint8_t minor, DevicePowerState state,
                           PowerCompletionFunction completion, void* context);

// Lets the next power request through (a count kept for the tests).
void PoStartNextPowerIrp(Irp* irp);

// Records the device's power state with the power manager; returns the previous one.
DevicePowerState PoSetPowerState(DeviceObject* device, DevicePowerState state);

inline NTSTATUS PoCallDriver(DeviceObject* device, Irp* irp) {
    return IoCallDriver(device, irp);
}

}  // namespace qorval::kernel
