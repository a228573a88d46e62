// Add device: a port number, the port's device object, and its place on the device stack.

#include "driver/device_names.h"
#include "driver/driver_entry.h"
#include "driver/lifecycle_gate.h"
#include "driver/request_dispatch.h"
#include "driver/request_read.h"
#include "kernel/power.h"

namespace wyvel32 {

using namespace qorval::kernel;

PortDevice::PortDevice() : ReadDpc(ReadDpcRoutine, this) {}

NTSTATUS AddDevice(DriverObject* driver, DeviceObject* physical_device) {
    DriverState& state = DriverStateOf(driver);
    const uint32_t number = TakePortNumber(state);
    if (number == 0) {
        // All 32 port numbers are in use: the device stays without a driver of its own.
        return STATUS_SUCCESS;
    }
    DeviceObject* self = nullptr;
    NTSTATUS status = IoCreateDevice<PortDevice>(driver, DeviceNameFor(number), FILE_DEVICE_UNKNOWN,
                                                 FILE_DEVICE_SECURE_OPEN, true, &self);
    if (!NT_SUCCESS(status)) {
        ReleasePortNumber(state, number);
        return status;
    }
    PortDevice& device = PortOf(self);
    device.PortIndex = number - 1;
    device.Self = self;
    device.Physical = physical_device;
    device.DeviceName = DeviceNameFor(number);
    device.LinkName = LinkNameFor(number);
    device.port.driver = &state.context;
    device.port.config.PortNumber = static_cast<uint8_t>(number);
    device.DevicePower.store(DevicePowerState::D3);
    PoSetPowerState(self, DevicePowerState::D3);

    self->Flags.fetch_or(DO_BUFFERED_IO | DO_POWER_PAGABLE);
    device.Lower = IoAttachDeviceToDeviceStack(self, physical_device);
    if (device.Lower == nullptr) {
        IoDeleteDevice(self);
        ReleasePortNumber(state, number);
        return STATUS_NO_SUCH_DEVICE;
    }
    self->Flags.fetch_and(~uint32_t{DO_DEVICE_INITIALIZING});
    return STATUS_SUCCESS;
}

}  // namespace wyvel32
