#include "kernel/power.h"

#include "kernel/io_manager.h"

namespace qorval::kernel {

NTSTATUS PoRequestPowerIrp(DeviceObject* device, uint8_t minor, DevicePowerState state,
                           PowerCompletionFunction completion, void* context) {
    DeviceObject* top = device;
    while (DeviceObject* above = top->AttachedDevice.load()) {
        top = above;
    }
    auto irp = std::make_unique<Irp>(MajorFunction::Power, minor);
    irp->Parameters.PowerType = PowerStateType::Device;
    irp->Parameters.DeviceState = state;
    irp->IoStatus.Status = STATUS_NOT_SUPPORTED;
    top->Manager.SendAsync(top, std::move(irp),
                           [device, minor, state, completion, context](Irp& done) {
                               if (completion != nullptr) {
                                   completion(device, minor, state, context, done.IoStatus);
                               }
                           });
    return STATUS_PENDING;
}

void PoStartNextPowerIrp(Irp* irp) {
    if (DeviceObject* device = irp->CurrentDevice.load()) {
        device->Manager.CountPowerStart();
    }
}

DevicePowerState PoSetPowerState(DeviceObject* device, DevicePowerState state) {
    return device->ReportedPowerState.exchange(state);
}

}  // namespace qorval::kernel
