// Reads: the driver's own device queue and the read cancel routine.
//
// The queue (ReadQueue, CurrentRead, ReadServing, ReadRetry) is guarded by the system cancel
// lock. The current read is served by whichever thread gets to it: the dispatch routine that
// made it current, the completion of the read before it, a cancel of the read before it, or
// the DPC that runs after a frame was stored. ReadServing makes sure only one of them runs
// ReadFrame for it at a time; ReadRetry makes sure a frame stored while it ran is not missed.

#include "driver/request_read.h"

#include <vector>

#include "driver/frame_engine.h"
#include "driver/hardware_access.h"
#include "driver/lifecycle_gate.h"
#include "driver/request_dispatch.h"

namespace wyvel32 {
namespace {

using namespace qorval::kernel;

void CancelRead(DeviceObject* self, Irp* irp) {
    PortDevice& device = PortOf(self);
    if (device.CurrentRead == irp) {
        // A current read has its cancel routine set only while it waits for a frame, never
        // while a thread serves it; so it can be ended here and the next one served.
        device.CurrentRead = device.ReadQueue.Remove();
        IoReleaseCancelSpinLock();
        CompleteRequest(irp, STATUS_CANCELLED);
        ServeReads(device);
        return;
    }
    device.ReadQueue.RemoveEntry(irp);
    IoReleaseCancelSpinLock();
    CompleteRequest(irp, STATUS_CANCELLED);
}

enum class ReadResult { Completed, Waits };

// Runs ReadFrame for the read and works out its status. The read's cancel routine is clear:
// nobody else can complete it meanwhile.
ReadResult TryRead(PortDevice& device, Irp* irp, NTSTATUS* status, uint64_t* information) {
    const uint32_t length = irp->Parameters.Length;
    bool taken = false;
    uint32_t count = 0;
    uint32_t flags = 0;
    const bool started = WithInterruptLock(device, [&] {
        PortContext& port = device.port;
        port.ReadBuffer = irp->SystemBuffer.data();
        port.ReadLength = length;
        taken = ReadFrame(port);
        count = port.ReadLength;
        flags = port.PortFlags & (RX_OVERRUN | RX_CRC_ERROR);
        if (taken) {
            port.PortFlags &= ~(RX_OVERRUN | RX_CRC_ERROR);  // reported with this frame
        }
        port.ReadBuffer = nullptr;
    });
    if (!started) {
        // The hardware was released (stop or removal): a read that may wait keeps waiting for
        // the device to come back or for its cancel; any other read ends at once.
        if (device.WaitFlag.load()) {
            return ReadResult::Waits;
        }
        *status = STATUS_NO_SUCH_DEVICE;
        *information = 0;
        return ReadResult::Completed;
    }
    if (taken) {
        *information = count;
        if ((flags & RX_OVERRUN) != 0) {
            *status = STATUS_DATA_OVERRUN;
        } else if ((flags & RX_CRC_ERROR) != 0 && device.port.config.CrcUsed != 0) {
            *status = STATUS_CRC_ERROR;
        } else {
            *status = STATUS_SUCCESS;
        }
        return ReadResult::Completed;
    }
    if (device.WaitFlag.load()) {
        return ReadResult::Waits;
    }
    // A synchronous handle never waits: empty, or too small for the frame that waits.
    *information = 0;
    *status = count > length ? STATUS_INFO_LENGTH_MISMATCH : STATUS_SUCCESS;
    return ReadResult::Completed;
}

}  // namespace

void ServeReads(PortDevice& device) {
    for (;;) {
        IoAcquireCancelSpinLock();
        Irp* irp = device.CurrentRead;
        if (irp == nullptr) {
            IoReleaseCancelSpinLock();
            return;
        }
        if (device.ReadServing) {
            device.ReadRetry = true;  // the serving thread looks again before it lets go
            IoReleaseCancelSpinLock();
            return;
        }
        if (IoSetCancelRoutine(irp, nullptr) == nullptr) {
            // Its cancel routine has been called and waits for the cancel lock: it ends
            // this read and serves the next.
            IoReleaseCancelSpinLock();
            return;
        }
        device.ReadServing = true;

        // The cancel routine stays clear while the read is served, so nobody else ends it.
        NTSTATUS status = STATUS_SUCCESS;
        uint64_t information = 0;
        ReadResult result = ReadResult::Completed;
        for (;;) {
            device.ReadRetry = false;
            IoReleaseCancelSpinLock();
            if (irp->Cancel.load()) {
                result = ReadResult::Completed;
                status = STATUS_CANCELLED;  // cancelled while it had no routine to call
            } else {
                result = TryRead(device, irp, &status, &information);
            }
            IoAcquireCancelSpinLock();
            // A frame stored while ReadFrame ran: look again before letting go.
            if (result == ReadResult::Waits && device.ReadRetry && !irp->Cancel.load()) {
                continue;
            }
            break;
        }
        device.ReadServing = false;
        if (result == ReadResult::Waits) {
            IoSetCancelRoutine(irp, CancelRead);
            if (!irp->Cancel.load() || IoSetCancelRoutine(irp, nullptr) == nullptr) {
                // Waiting, cancellable. (If a cancel came and took the routine just now, the
                // routine waits for this lock and ends the read.)
                IoReleaseCancelSpinLock();
                return;
            }
            status = STATUS_CANCELLED;  // cancelled while it was being served
            information = 0;
        }
        device.CurrentRead = device.ReadQueue.Remove();
        IoReleaseCancelSpinLock();
        CompleteRequest(irp, status, information);
    }
}

void ReadDpcRoutine(KDpc*, void* context) {
    ServeReads(*static_cast<PortDevice*>(context));
}

NTSTATUS HandleRead(PortDevice& device, Irp* irp) {
    if (irp->Parameters.Length == 0) {
        return CompleteRequest(irp, STATUS_SUCCESS, 0);
    }
    IoMarkIrpPending(irp);
    IoAcquireCancelSpinLock();
    // Cleanup of its handle has already emptied the queue (it marks the handle first).
    if (irp->Cancel.load() || CleanupStarted(irp)) {
        IoReleaseCancelSpinLock();
        CompleteRequest(irp, STATUS_CANCELLED);
        return STATUS_PENDING;
    }
    IoSetCancelRoutine(irp, CancelRead);
    if (!device.ReadQueue.Insert(irp)) {
        device.CurrentRead = irp;  // the queue was idle: this read is served now
    }
    IoReleaseCancelSpinLock();
    ServeReads(device);
    return STATUS_PENDING;
}

void CancelReadsOf(PortDevice& device, const FileObject* file) {
    std::vector<Irp*> mine;
    bool serveNext = false;
    IoAcquireCancelSpinLock();
    mine = device.ReadQueue.RemoveIf([file](Irp* irp) {
        return irp->FileObject == file && IoSetCancelRoutine(irp, nullptr) != nullptr;
    });
    Irp* current = device.CurrentRead;
    if (current != nullptr && current->FileObject == file && !device.ReadServing &&
        IoSetCancelRoutine(current, nullptr) != nullptr) {
        // Waiting for a frame that may never come: left alone it would keep the handle
        // from closing.
        mine.push_back(current);
        device.CurrentRead = device.ReadQueue.Remove();
        serveNext = true;
    }
    IoReleaseCancelSpinLock();
    for (Irp* irp : mine) {
        CompleteRequest(irp, STATUS_CANCELLED);
    }
    if (serveNext) {
        ServeReads(device);
    }
}

}  // namespace wyvel32
