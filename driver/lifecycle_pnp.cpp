// Plug and Play requests: start, the stop and remove queries and their cancels, stop,
// surprise removal and removal.

#include "driver/driver_entry.h"
#include "driver/lifecycle_gate.h"
#include "driver/lifecycle_hardware.h"
#include "driver/request_dispatch.h"
#include "kernel/io_manager.h"
#include "kernel/power.h"

namespace wyvel32 {
namespace {

using namespace qorval::kernel;

NTSTATUS SignalLowerDone(DeviceObject*, Irp*, void* context) {
    static_cast<KEvent*>(context)->Set();
    // The request is finished here, after the wait.
    return STATUS_MORE_PROCESSING_REQUIRED;
}

// Passes the request down and waits until the lower drivers have finished with it; returns
// their status. The caller completes the request.
NTSTATUS PassDownAndWait(PortDevice& device, Irp* irp) {
    KEvent lowerDone(KEvent::Type::Notification, false);
    IoSetCompletionRoutine(irp, SignalLowerDone, &lowerDone, device.Self);
    IoCallDriver(device.Lower, irp);
    lowerDone.Wait();
    return irp->IoStatus.Status;
}

// Passes the request down with this driver's stack location skipped.
NTSTATUS PassDown(PortDevice& device, Irp* irp) {
    return IoCallDriver(device.Lower, irp);
}

NTSTATUS StartDevice(PortDevice& device, Irp* irp) {
    NTSTATUS status = PassDownAndWait(device, irp);
    if (NT_SUCCESS(status)) {
        status = StartPortHardware(device, irp);
    }
    if (NT_SUCCESS(status)) {
        device.DevicePower.store(DevicePowerState::D0);
        PoSetPowerState(device.Self, DevicePowerState::D0);
        device.PreviousState.store(device.State.load());
        device.State.store(PnpState::Started);
        SetGateAndReplay(device, RequestGate::Accept);
    }
    return CompleteRequest(irp, status, irp->IoStatus.Information);
}

// Query stop and query remove: hold new requests, let the ones in progress finish.
NTSTATUS QueryLeave(PortDevice& device, Irp* irp, PnpState pending) {
    SetGate(device, RequestGate::Hold);
    WaitUntilIdle(device);
    device.PreviousState.store(device.State.load());
    device.State.store(pending);
    irp->IoStatus.Status = STATUS_SUCCESS;
    return PassDown(device, irp);
}

// Cancel stop and cancel remove: back to the state before the query, held requests go on.
NTSTATUS CancelLeave(PortDevice& device, Irp* irp, PnpState pending) {
    const NTSTATUS status = PassDownAndWait(device, irp);
    if (device.State.load() == pending) {
        device.State.store(device.PreviousState.load());
        SetGateAndReplay(device, RequestGate::Accept);
    }
    return CompleteRequest(irp, status, irp->IoStatus.Information);
}

NTSTATUS RemoveDevice(PortDevice& device, Irp* irp) {
    if (device.State.load() != PnpState::SurpriseRemoved) {
        SetGateAndReplay(device, RequestGate::FailHeld);
        ReleasePortHardware(device);
    }
    device.State.store(PnpState::Removed);
    // Out once for this request and once for the count's base of 1; the count then reaches 0
    // when the last request in progress leaves.
    IoDecrement(device);
    IoDecrement(device);
    device.RemoveEvent.Wait();
    irp->IoStatus.Status = STATUS_SUCCESS;
    const NTSTATUS status = PassDown(device, irp);
    IoDetachDevice(device.Lower);
    KeFlushQueuedDpcs(device.Self->Manager);
    // The port number goes back only now: a device added while this one was stopped must not
    // take the name this one still holds.
    ReleasePortNumber(DriverStateOf(device.Self->Driver), device.PortIndex + 1);
    IoDeleteDevice(device.Self);
    return status;
}

}  // namespace

NTSTATUS DispatchPnp(DeviceObject* self, Irp* irp) {
    PortDevice& device = PortOf(self);
    if (irp->MinorFunction == IRP_MN_REMOVE_DEVICE) {
        IoIncrement(device);  // counted out by the removal itself
        return RemoveDevice(device, irp);
    }
    RequestCountGuard counted(device);
    switch (irp->MinorFunction) {
        case IRP_MN_START_DEVICE:
            return StartDevice(device, irp);
        case IRP_MN_QUERY_STOP_DEVICE:
            return QueryLeave(device, irp, PnpState::StopPending);
        case IRP_MN_CANCEL_STOP_DEVICE:
            return CancelLeave(device, irp, PnpState::StopPending);
        case IRP_MN_STOP_DEVICE:
            ReleasePortHardware(device);
            device.State.store(PnpState::Stopped);
            irp->IoStatus.Status = STATUS_SUCCESS;
            return PassDown(device, irp);
        case IRP_MN_QUERY_REMOVE_DEVICE:
            return QueryLeave(device, irp, PnpState::RemovePending);
        case IRP_MN_CANCEL_REMOVE_DEVICE:
            return CancelLeave(device, irp, PnpState::RemovePending);
        case IRP_MN_SURPRISE_REMOVAL:
            device.State.store(PnpState::SurpriseRemoved);
            SetGateAndReplay(device, RequestGate::FailHeld);
            ReleasePortHardware(device);
            irp->IoStatus.Status = STATUS_SUCCESS;
            return PassDown(device, irp);
        case IRP_MN_QUERY_CAPABILITIES:
        case IRP_MN_QUERY_DEVICE_STATE: {
            const NTSTATUS status = PassDownAndWait(device, irp);
            return CompleteRequest(irp, status, irp->IoStatus.Information);
        }
        default:
            return PassDown(device, irp);
    }
}

NTSTATUS DispatchSystemControl(DeviceObject* self, Irp* irp) {
    PortDevice& device = PortOf(self);
    RequestCountGuard counted(device);
    if (device.State.load() == PnpState::Removed) {
        return CompleteRequest(irp, STATUS_DELETE_PENDING);
    }
    // The driver registers no data blocks, so no system control request is ours to process:
    // each goes on to the lower drivers.
    return PassDown(device, irp);
}

}  // namespace wyvel32
