// Power requests. The hardware is not touched: the next open programs the channel again.
// Leaving D0 holds new requests and waits for the ones in progress; reaching D0 lets them on.

#include "driver/lifecycle_gate.h"
#include "driver/request_dispatch.h"
#include "kernel/power.h"
#include "kernel/work_item.h"

namespace wyvel32 {
namespace {

using namespace qorval::kernel;

// One power request handed to a work item.
struct PowerWork {
    IoWorkItem* Item = nullptr;
    Irp* Request = nullptr;
    bool PassDownAfter = true;  // false: the lower drivers have finished it already
};

NTSTATUS PassPowerDown(PortDevice& device, Irp* irp) {
    PoStartNextPowerIrp(irp);
    return PoCallDriver(device.Lower, irp);
}

// Passive-level part of a device set power request.
void DeviceSetPowerWork(DeviceObject* self, void* context) {
    auto* work = static_cast<PowerWork*>(context);
    PortDevice& device = PortOf(self);
    Irp* irp = work->Request;
    const DevicePowerState next = irp->Parameters.DeviceState;
    const DevicePowerState previous = device.DevicePower.exchange(next);
    if (previous == DevicePowerState::D0 && next != DevicePowerState::D0) {
        SetGate(device, RequestGate::Hold);
        WaitUntilIdle(device);
    }
    if (next != previous) {
        PoSetPowerState(self, next);
    }
    if (next == DevicePowerState::D0 && device.State.load() == PnpState::Started) {
        SetGateAndReplay(device, RequestGate::Accept);
    }
    if (work->PassDownAfter) {
        PassPowerDown(device, irp);
    } else {
        PoStartNextPowerIrp(irp);
        IoCompleteRequest(irp);
    }
    IoFreeWorkItem(work->Item);
    delete work;
    IoDecrement(device);  // the count the request held while it was in the work item
}

// Passive-level part of a device query power request for a low-power state.
void DeviceQueryPowerWork(DeviceObject* self, void* context) {
    auto* work = static_cast<PowerWork*>(context);
    PortDevice& device = PortOf(self);
    SetGate(device, RequestGate::Hold);
    WaitUntilIdle(device);
    work->Request->IoStatus.Status = STATUS_SUCCESS;
    PassPowerDown(device, work->Request);
    IoFreeWorkItem(work->Item);
    delete work;
    IoDecrement(device);
}

void QueueWork(PortDevice& device, Irp* irp, WorkItemRoutine routine, bool pass_down_after) {
    IoIncrement(device);  // held by the request until its work item has run
    auto* work = new PowerWork{IoAllocateWorkItem(device.Self), irp, pass_down_after};
    IoQueueWorkItem(work->Item, routine, work);
}

NTSTATUS DevicePowerUpDone(DeviceObject* self, Irp* irp, void*) {
    if (!NT_SUCCESS(irp->IoStatus.Status)) {
        PoStartNextPowerIrp(irp);
        return STATUS_SUCCESS;  // failed below: completed with that status
    }
    QueueWork(PortOf(self), irp, DeviceSetPowerWork, false);
    return STATUS_MORE_PROCESSING_REQUIRED;
}

void DevicePowerForSystemDone(DeviceObject*, uint8_t, DevicePowerState, void* context,
                              const IoStatusBlock& status) {
    auto* system = static_cast<Irp*>(context);
    system->IoStatus.Status = status.Status;
    PoStartNextPowerIrp(system);
    IoCompleteRequest(system);
}

NTSTATUS SystemPowerDone(DeviceObject* self, Irp* irp, void*) {
    if (!NT_SUCCESS(irp->IoStatus.Status)) {
        PoStartNextPowerIrp(irp);
        return STATUS_SUCCESS;
    }
    // The device follows the system: D0 while it works, D3 in any sleep or shutdown.
    const DevicePowerState state = irp->Parameters.SystemState == SystemPowerState::Working
                                       ? DevicePowerState::D0
                                       : DevicePowerState::D3;
    PoRequestPowerIrp(PortOf(self).Physical, irp->MinorFunction, state, DevicePowerForSystemDone,
                      irp);
    return STATUS_MORE_PROCESSING_REQUIRED;
}

}  // namespace

NTSTATUS DispatchPower(DeviceObject* self, Irp* irp) {
    PortDevice& device = PortOf(self);
    RequestCountGuard counted(device);
    if (device.State.load() == PnpState::Removed) {
        PoStartNextPowerIrp(irp);
        return CompleteRequest(irp, STATUS_DELETE_PENDING);
    }
    const bool setOrQuery =
        irp->MinorFunction == IRP_MN_SET_POWER || irp->MinorFunction == IRP_MN_QUERY_POWER;
    if (device.State.load() == PnpState::NeverStarted || !setOrQuery) {
        return PassPowerDown(device, irp);
    }
    IoMarkIrpPending(irp);
    if (irp->Parameters.PowerType == PowerStateType::System) {
        if (irp->MinorFunction == IRP_MN_SET_POWER) {
            device.SystemPower.store(irp->Parameters.SystemState);
        }
        IoSetCompletionRoutine(irp, SystemPowerDone, nullptr, self);
        PoCallDriver(device.Lower, irp);
        return STATUS_PENDING;
    }
    const DevicePowerState target = irp->Parameters.DeviceState;
    if (irp->MinorFunction == IRP_MN_QUERY_POWER) {
        if (target == DevicePowerState::D0) {
            PassPowerDown(device, irp);
        } else {
            QueueWork(device, irp, DeviceQueryPowerWork, true);
        }
        return STATUS_PENDING;
    }
    // Set power. A higher D number is a lower-power state.
    if (target >= device.DevicePower.load()) {
        QueueWork(device, irp, DeviceSetPowerWork, true);
    } else {
        IoSetCompletionRoutine(irp, DevicePowerUpDone, nullptr, self);
        PoCallDriver(device.Lower, irp);
    }
    return STATUS_PENDING;
}

}  // namespace wyvel32
