#include "driver/lifecycle_gate.h"

#include <thread>
#include <vector>

#include "driver/request_dispatch.h"

namespace wyvel32 {
namespace {

using namespace qorval::kernel;

// Held-request cancel routine. It runs holding the system cancel lock, which it releases
// before taking the hold-list lock: the lock order is hold-list lock first, and replay holds
// the hold-list lock while it clears cancel routines. If replay took the request off the list
// first, Remove fails and replay, having found no cancel routine to clear, leaves the request
// to this routine, which completes it.
void CancelHeldRequest(DeviceObject* self, Irp* irp) {
    IoReleaseCancelSpinLock();
    PortDevice& device = PortOf(self);
    {
        SpinLockGuard guard(device.HoldLock);
        device.HoldList.Remove(irp);
    }
    CompleteRequest(irp, STATUS_CANCELLED);
}

}  // namespace

NTSTATUS CompleteRequest(Irp* irp, NTSTATUS status, uint64_t information) {
    irp->IoStatus.Status = status;
    irp->IoStatus.Information = information;
    IoCompleteRequest(irp);
    return status;
}

// The count and the idle event change together under CountLock. Changed apart, a request
// counted in (1 -> 2) could clear the event just after the last one out (2 -> 1) had set it,
// leaving the count at 1 with the event clear: a wait for idle would then never end.
void IoIncrement(PortDevice& device) {
    SpinLockGuard guard(device.CountLock);
    if (InterlockedIncrement(device.OutstandingIo) == 2) {
        device.IdleEvent.Reset();
    }
}

void IoDecrement(PortDevice& device) {
    SpinLockGuard guard(device.CountLock);
    const int32_t count = InterlockedDecrement(device.OutstandingIo);
    if (count == 1) {
        device.IdleEvent.Set();
    }
    if (count == 0) {
        device.RemoveEvent.Set();
    }
}

void WaitUntilIdle(PortDevice& device, int extra) {
    for (int i = 0; i <= extra; ++i) {
        IoDecrement(device);
    }
    // The event is auto-reset: an earlier waiter may have taken the signal of a count that is
    // still 1, and a request may come and go between the wake-up and now. So the count decides
    // and the event only wakes the waiter up to look again.
    for (;;) {
        {
            SpinLockGuard guard(device.CountLock);
            if (device.OutstandingIo.load() <= 1) {
                break;
            }
        }
        device.IdleEvent.Wait();
    }
    for (int i = 0; i <= extra; ++i) {
        IoIncrement(device);
    }
}

NTSTATUS GateRequest(PortDevice& device, Irp* irp, RequestHandler handler, bool hold) {
    RequestCountGuard counted(device);
    if (hold) {
        // The gate is read holding the hold-list lock, and replay changes it holding the same
        // lock before it empties the list: so a request either sees Hold and is on the list
        // before replay looks, or sees the new gate. Checked outside the lock, a request could
        // see Hold, lose the processor while replay runs, and then sit on the list for ever.
        device.HoldLock.Acquire();
        if (device.Gate.load() == RequestGate::Hold && CleanupStarted(irp)) {
            device.HoldLock.Release();  // its handle's cleanup has already emptied the list
            return CompleteRequest(irp, STATUS_CANCELLED);
        }
        if (device.Gate.load() == RequestGate::Hold) {
            IoMarkIrpPending(irp);
            IoSetCancelRoutine(irp, CancelHeldRequest);
            // Cancelled before the routine was set: nobody else will end it.
            if (irp->Cancel.load() && IoSetCancelRoutine(irp, nullptr) != nullptr) {
                device.HoldLock.Release();
                CompleteRequest(irp, STATUS_CANCELLED);
                return STATUS_PENDING;
            }
            device.HoldList.PushBack(irp);
            device.HoldLock.Release();
            return STATUS_PENDING;
        }
        device.HoldLock.Release();
    }
    const PnpState state = device.State.load();
    if (state == PnpState::SurpriseRemoved || state == PnpState::Removed) {
        return CompleteRequest(irp, STATUS_DELETE_PENDING);
    }
    return handler(device, irp);
}

void SetGate(PortDevice& device, RequestGate gate) {
    SpinLockGuard guard(device.HoldLock);
    device.Gate.store(gate);
}

void SetGateAndReplay(PortDevice& device, RequestGate gate) {
    // With the gate Accept, the gate opens only once the list is empty: held requests go to
    // their handlers in rounds while new arrivals are still held behind them. Opened first, a
    // request arriving during the replay would overtake the held ones (a later read taking an
    // earlier frame than a read issued before it).
    for (;;) {
        std::vector<Irp*> held;
        {
            SpinLockGuard guard(device.HoldLock);
            // Clearing the cancel routine decides who ends each request: a null result means
            // its cancel routine has been called and waits for this lock; it completes it.
            held = device.HoldList.RemoveIf(
                [](Irp* irp) { return IoSetCancelRoutine(irp, nullptr) != nullptr; });
            if (gate != RequestGate::Accept || (held.empty() && device.HoldList.Empty())) {
                device.Gate.store(gate);
            }
        }
        if (held.empty()) {
            if (device.Gate.load() == gate) {
                return;
            }
            std::this_thread::yield();  // a cancel routine is about to take its request off
            continue;
        }
        for (Irp* irp : held) {
            if (irp->Cancel.load()) {
                CompleteRequest(irp, STATUS_CANCELLED);
            } else if (gate == RequestGate::FailHeld) {
                CompleteRequest(irp, STATUS_DELETE_PENDING);
            } else {
                // Handed to this driver's own handlers: the held request was meant for this
                // driver, and the bus below has no use for a read or a write.
                ReplayRequest(device, irp);
            }
        }
    }
}

void CancelHeldRequests(PortDevice& device, const FileObject* file) {
    std::vector<Irp*> mine;
    {
        SpinLockGuard guard(device.HoldLock);
        mine = device.HoldList.RemoveIf([file](Irp* irp) {
            return irp->FileObject == file && IoSetCancelRoutine(irp, nullptr) != nullptr;
        });
    }
    for (Irp* irp : mine) {
        CompleteRequest(irp, STATUS_CANCELLED);
    }
}

}  // namespace wyvel32
