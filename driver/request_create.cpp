// Open (create), close and cleanup of the port's one handle.

#include "driver/channel_programme.h"
#include "driver/config_sequence.h"
#include "driver/hardware_access.h"
#include "driver/lifecycle_gate.h"
#include "driver/port_init.h"
#include "driver/request_dispatch.h"
#include "driver/request_read.h"

namespace wyvel32 {
namespace {

using namespace qorval::kernel;

// Takes the queued writes of a file object off the start-I/O queue. The one being started or
// served is left alone.
std::vector<Irp*> TakeQueuedWrites(PortDevice& device, const FileObject* file) {
    IoAcquireCancelSpinLock();
    std::vector<Irp*> mine = device.Self->Queue.RemoveIf([file](Irp* irp) {
        return irp->FileObject == file && IoSetCancelRoutine(irp, nullptr) != nullptr;
    });
    IoReleaseCancelSpinLock();
    return mine;
}

}  // namespace

NTSTATUS HandleCreate(PortDevice& device, Irp* irp) {
    // The channel is programmed from the registry afresh at every open.
    NTSTATUS status = STATUS_SUCCESS;
    const bool started = WithHardware(device, [&] {
        status = RunOpenConfiguration(device.port);
        if (NT_SUCCESS(status)) {
            status = OpenTimeInitialisation(device.port);
        }
    });
    if (!started) {
        status = STATUS_NO_SUCH_DEVICE;  // opened by device name while not started
    }
    if (!NT_SUCCESS(status)) {
        return CompleteRequest(irp, status);
    }
    // An overlapped handle (anything but synchronous non-alertable I/O) waits for frames.
    device.WaitFlag.store((irp->Parameters.CreateOptions & FILE_SYNCHRONOUS_IO_NONALERT) == 0);
    return CompleteRequest(irp, STATUS_SUCCESS);
}

NTSTATUS HandleClose(PortDevice& device, Irp* irp) {
    WithInterruptLock(device, [&] { StopPort(device.port); });
    device.WaitFlag.store(false);
    return CompleteRequest(irp, STATUS_SUCCESS);
}

NTSTATUS HandleCleanup(PortDevice& device, Irp* irp) {
    const FileObject* file = irp->FileObject;
    // Marked first: a request of this handle that reaches a queue after the scans below sees
    // the mark there and ends cancelled instead of waiting for a handle that is gone.
    irp->FileObject->Flags.fetch_or(FO_CLEANUP_COMPLETE);
    CancelHeldRequests(device, file);
    for (Irp* write : TakeQueuedWrites(device, file)) {
        CompleteRequest(write, STATUS_CANCELLED);
    }
    CancelReadsOf(device, file);
    return CompleteRequest(irp, STATUS_SUCCESS);
}

}  // namespace wyvel32
