// The system cancel lock and what runs under it: the start-I/O queue of a device
// (IoStartPacket, IoStartNextPacket), IoCancelIrp, and the host's cancel of a handle's
// requests (IoManager::CancelRequest, IoManager::CancelIo).

#include "kernel/device_object.h"
#include "kernel/io_manager.h"
#include "kernel/io_manager_records.h"
#include "kernel/irp.h"
#include "kernel/sync.h"

namespace qorval::kernel {
namespace {

SpinLock& CancelLock() {
    static SpinLock lock;
    return lock;
}

// The device whose driver's start-I/O routine runs on this thread, if any.
thread_local DeviceObject* t_inStartIo = nullptr;

// Runs the driver's start-I/O routine for `irp`, entered holding the cancel lock (which the
// routine releases), and goes on with the next packet whenever the routine asked for it
// through IoStartNextPacket. Looping here instead of recursing keeps the stack flat however
// many writes are queued.
void RunStartIo(DeviceObject* device, Irp* irp) {
    DeviceObject* const outer = t_inStartIo;
    t_inStartIo = device;
    while (irp != nullptr) {
        device->StartNextRequested.store(false);
        device->CurrentIrp.store(irp);
        irp->CurrentDevice.store(device);
        device->Driver->DriverStartIo(device, irp);
        if (!device->StartNextRequested.load()) {
            break;
        }
        IoAcquireCancelSpinLock();
        irp = device->Queue.Remove();
        device->CurrentIrp.store(irp);
        if (irp == nullptr) {
            IoReleaseCancelSpinLock();
        }
    }
    t_inStartIo = outer;
}

}  // namespace

void IoStartPacket(DeviceObject* device, Irp* irp, CancelRoutine cancel_routine) {
    IoAcquireCancelSpinLock();
    irp->CurrentDevice.store(device);
    if (cancel_routine != nullptr) {
        IoSetCancelRoutine(irp, cancel_routine);
    }
    if (!device->Queue.Insert(irp)) {
        RunStartIo(device, irp);  // releases the cancel lock
        return;
    }
    // Queued. A request cancelled before its cancel routine was set had nobody to cancel
    // it; do it now that it is on the queue, where its cancel routine can find it.
    if (irp->Cancel.load()) {
        if (const CancelRoutine routine = IoSetCancelRoutine(irp, nullptr)) {
            routine(device, irp);  // releases the cancel lock
            return;
        }
    }
    IoReleaseCancelSpinLock();
}

void IoStartNextPacket(DeviceObject* device, bool cancelable) {
    (void)cancelable;  // every start-I/O queue of this model is cancelable
    if (t_inStartIo == device) {
        device->StartNextRequested.store(true);  // the start loop carries on
        return;
    }
    IoAcquireCancelSpinLock();
    device->CurrentIrp.store(nullptr);
    Irp* next = device->Queue.Remove();
    if (next == nullptr) {
        IoReleaseCancelSpinLock();
        return;
    }
    RunStartIo(device, next);  // releases the cancel lock
}

bool IoCancelIrp(Irp* irp) {
    IoAcquireCancelSpinLock();
    irp->Cancel.store(true);
    const CancelRoutine routine = irp->CurrentCancelRoutine.exchange(nullptr);
    if (routine == nullptr) {
        IoReleaseCancelSpinLock();
        return false;
    }
    routine(irp->CurrentDevice.load(), irp);  // releases the cancel lock
    return true;
}

void IoAcquireCancelSpinLock() {
    CancelLock().Acquire();
}

void IoReleaseCancelSpinLock() {
    CancelLock().Release();
}

bool IoManager::CancelRequest(Handle handle, RequestId request) {
    std::shared_ptr<Irp> irp;
    {
        std::lock_guard guard(m_lock);
        auto entry = m_handles.find(handle);
        if (entry == m_handles.end()) {
            return false;
        }
        auto found = entry->second->Outstanding.find(request);
        if (found == entry->second->Outstanding.end()) {
            return false;
        }
        irp = found->second;  // keeps the record alive while it is cancelled
    }
    IoCancelIrp(irp.get());
    return true;
}

void IoManager::CancelIo(Handle handle) {
    std::vector<std::shared_ptr<Irp>> irps;
    {
        std::lock_guard guard(m_lock);
        auto entry = m_handles.find(handle);
        if (entry == m_handles.end()) {
            return;
        }
        for (const auto& [id, irp] : entry->second->Outstanding) {
            irps.push_back(irp);
        }
    }
    for (const auto& irp : irps) {
        IoCancelIrp(irp.get());
    }
}

}  // namespace qorval::kernel
