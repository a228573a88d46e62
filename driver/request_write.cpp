// Writes: through the device's start-I/O queue, one frame into card memory per request.

#include "driver/frame_engine.h"
#include "driver/hardware_access.h"
#include "driver/lifecycle_gate.h"
#include "driver/request_dispatch.h"

namespace wyvel32 {
namespace {

using namespace qorval::kernel;

void CancelWrite(DeviceObject* self, Irp* irp) {
    if (self->CurrentIrp.load() == irp) {
        // Started but not yet looked at by the start-I/O routine (which would have cleared
        // the cancel routine): end it here and start the next packet in its place.
        IoReleaseCancelSpinLock();
        CompleteRequest(irp, STATUS_CANCELLED);
        IoStartNextPacket(self, true);
        return;
    }
    self->Queue.RemoveEntry(irp);
    IoReleaseCancelSpinLock();
    CompleteRequest(irp, STATUS_CANCELLED);
}

}  // namespace

NTSTATUS HandleWrite(PortDevice& device, Irp* irp) {
    if (irp->Parameters.Length == 0) {
        // Nothing to queue. The next queued write is not started from here: the start-I/O
        // queue serves one packet at a time, and starting another while one is current would
        // run two at once.
        return CompleteRequest(irp, STATUS_SUCCESS, 0);
    }
    IoMarkIrpPending(irp);
    IoStartPacket(device.Self, irp, CancelWrite);
    return STATUS_PENDING;
}

void StartIo(DeviceObject* self, Irp* irp) {
    // Entered holding the cancel lock. A null previous routine means the request's cancel
    // routine has been called and waits for the lock: it completes the request and starts
    // the next packet.
    if (IoSetCancelRoutine(irp, nullptr) == nullptr) {
        IoReleaseCancelSpinLock();
        return;
    }
    IoReleaseCancelSpinLock();
    PortDevice& device = PortOf(self);
    if (irp->Cancel.load() || CleanupStarted(irp)) {
        CompleteRequest(irp, STATUS_CANCELLED);
    } else {
        // The gate applies here too: a write started while the device stops is held and
        // comes back through the write handler when the device runs again, then passing.
        const bool replayed = irp->DriverContext[0] == &kReplayedWrite;
        irp->DriverContext[0] = nullptr;
        GateRequest(device, irp, ServeWrite, !replayed);
    }
    IoStartNextPacket(self, true);
}

NTSTATUS ServeWrite(PortDevice& device, Irp* irp) {
    if (irp->MajorFunction != MajorFunction::Write) {
        return CompleteRequest(irp, STATUS_INVALID_DEVICE_REQUEST);
    }
    const uint32_t length = irp->Parameters.Length;
    if (length > device.port.config.TxBuffSize) {
        return CompleteRequest(irp, STATUS_INVALID_PARAMETER);
    }
    bool queued = false;
    const bool started = WithInterruptLock(device, [&] {
        PortContext& port = device.port;
        port.TransferBuffer = irp->SystemBuffer.data();
        port.TransferLength = length;
        queued = WriteFrame(port);
        port.TransferBuffer = nullptr;
    });
    if (!started) {
        return CompleteRequest(irp, STATUS_NO_SUCH_DEVICE);
    }
    // The write is done once the frame is in card memory, not when it has been sent.
    return queued ? CompleteRequest(irp, STATUS_SUCCESS, length)
                  : CompleteRequest(irp, STATUS_DEVICE_BUSY, 0);
}

}  // namespace wyvel32
