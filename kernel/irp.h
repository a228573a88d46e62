#pragma once
// The request record (IRP), the file object a handle stands for, the system cancel lock and
// the list helpers that let the verifier know when a request sits on a queue.
//
// Buffered I/O only: every read, write and device control request carries one system buffer
// (AssociatedIrp.SystemBuffer), sized to the request's length, or for a device control to the
// larger of its input and output lengths, exactly as the I/O manager allocates it.

#include <atomic>
#include <cstdint>
#include <functional>
#include <list>
#include <mutex>
#include <vector>

#include "kernel/kernel_types.h"

namespace qorval::kernel {

class DeviceObject;
class Irp;

// Create options the driver looks at (IrpSp->Parameters.Create.Options).
inline constexpr uint32_t FILE_SYNCHRONOUS_IO_ALERT = 0x00000010;
inline constexpr uint32_t FILE_SYNCHRONOUS_IO_NONALERT = 0x00000020;

// FileObject::Flags: the handle's cleanup has begun; requests still arriving on it (issued
// by another thread just before the close) must not be queued any more.
inline constexpr uint32_t FO_CLEANUP_COMPLETE = 0x00004000;

// The object behind one open handle.
struct FileObject {
    DeviceObject* Device = nullptr;  // the device the handle was opened on
    uint32_t CreateOptions = 0;      // as given at open (FILE_SYNCHRONOUS_IO_*)
    void* FsContext = nullptr;       // free for the driver
    std::atomic<uint32_t> Flags{0};  // FO_CLEANUP_COMPLETE
};

// Whether the request's handle is being cleaned up.
inline bool CleanupStarted(const Irp* irp);

// Called holding the system cancel lock, which the routine must release
// (IoReleaseCancelSpinLock) before it completes the request.
using CancelRoutine = void (*)(DeviceObject* device, Irp* irp);

// Called as a request is completed, lowest driver first. Returning
// STATUS_MORE_PROCESSING_REQUIRED stops the completion; the driver that did so completes the
// request again later.
using CompletionRoutine = NTSTATUS (*)(DeviceObject* device, Irp* irp, void* context);

// Parameters of the current stack location; only the fields of the request's major function
// are meaningful.
struct IrpParameters {
    uint32_t Length = 0;              // read, write
    uint32_t IoControlCode = 0;       // device control
    uint32_t InputBufferLength = 0;   // device control
    uint32_t OutputBufferLength = 0;  // device control
    uint32_t CreateOptions = 0;       // create
    // Start device: the resource lists, or null when the bus gave none.
    const ResourceList* AllocatedResources = nullptr;
    const ResourceList* AllocatedResourcesTranslated = nullptr;
    // Power: which kind of state, and the state.
    PowerStateType PowerType = PowerStateType::System;
    SystemPowerState SystemState = SystemPowerState::Working;
    DevicePowerState DeviceState = DevicePowerState::D0;
};

struct IoStatusBlock {
    NTSTATUS Status = STATUS_SUCCESS;
    uint64_t Information = 0;
};

class Irp {
  public:
    Irp(kernel::MajorFunction major, uint8_t minor) : MajorFunction(major), MinorFunction(minor) {}
    Irp(const Irp&) = delete;
    Irp& operator=(const Irp&) = delete;

    const kernel::MajorFunction MajorFunction;
    const uint8_t MinorFunction;
    kernel::FileObject* FileObject = nullptr;  // null for Plug and Play and power requests
    IrpParameters Parameters;
    std::vector<uint8_t> SystemBuffer;
    IoStatusBlock IoStatus;
    // Set by IoCancelIrp; never cleared.
    std::atomic<bool> Cancel{false};
    // Set before a completion routine runs when a lower driver returned STATUS_PENDING.
    bool PendingReturned = false;
    // Four pointers the driver that currently owns the request may use.
    void* DriverContext[4] = {};

    // --- Model internals, used by the I/O manager functions below. ---

    // The device whose driver currently holds the request (passed to its cancel routine).
    std::atomic<DeviceObject*> CurrentDevice{nullptr};
    std::atomic<CancelRoutine> CurrentCancelRoutine{nullptr};
    // Completion routines set by the drivers above, innermost last.
    struct Completion {
        CompletionRoutine Routine;
        void* Context;
        DeviceObject* Device;
    };
    std::vector<Completion> Completions;
    // Verifier state.
    std::atomic<bool> MarkedPending{false};
    std::atomic<bool> Completed{false};
    std::atomic<const void*> QueuedOn{nullptr};
    // Called once, when the request is completed for good (set by whoever issued it).
    std::function<void(Irp&)> OnFinished;
};

inline bool CleanupStarted(const Irp* irp) {
    return irp->FileObject != nullptr && (irp->FileObject->Flags.load() & FO_CLEANUP_COMPLETE) != 0;
}

// IoMarkIrpPending.
void IoMarkIrpPending(Irp* irp);

// IoSetCancelRoutine: sets the routine (or null) and returns the previous one, atomically.
// A null result when clearing means the cancel routine has been taken by IoCancelIrp and
// owns the request now.
CancelRoutine IoSetCancelRoutine(Irp* irp, CancelRoutine routine);

// IoSetCompletionRoutine for the next lower driver (copy of the stack location implied).
void IoSetCompletionRoutine(Irp* irp, CompletionRoutine routine, void* context,
                            DeviceObject* device);

// IoCompleteRequest: runs the completion routines and, when none stops it, finishes the
// request. Never call it holding a spin lock.
void IoCompleteRequest(Irp* irp);

// IoCancelIrp: marks the request cancelled and calls its cancel routine, if one is set, with
// the cancel lock held. Returns whether a cancel routine was called.
bool IoCancelIrp(Irp* irp);

// The system cancel spin lock (IoAcquireCancelSpinLock / IoReleaseCancelSpinLock). One lock
// for the whole system: it orders every cancel routine against every queue that uses it.
void IoAcquireCancelSpinLock();
void IoReleaseCancelSpinLock();

// A driver's own list of requests (a LIST_ENTRY chain through Tail.Overlay.ListEntry). Not
// locked: the owner guards it with its own lock. Requests on it count as queued for the
// verifier.
class IrpList {
  public:
    void PushBack(Irp* irp);
    Irp* PopFront();  // null when empty
    bool Remove(Irp* irp);
    bool Empty() const { return m_items.empty(); }
    size_t Size() const { return m_items.size(); }
    // Takes every request for which `pick` is true off the list, in order.
    std::vector<Irp*> RemoveIf(const std::function<bool(Irp*)>& pick);

  private:
    std::list<Irp*> m_items;
};

// KDEVICE_QUEUE: a queue with a busy flag and its own lock. Inserting into an idle queue only
// makes it busy (the caller then serves the request itself); removing from an empty busy
// queue makes it idle.
class DeviceQueue {
  public:
    // KeInsertDeviceQueue: false when the queue was idle (now busy, request not queued).
    bool Insert(Irp* irp);
    // KeRemoveDeviceQueue: the head request, or null (and the queue turns idle).
    Irp* Remove();
    // KeRemoveEntryDeviceQueue: whether the request was on the queue.
    bool RemoveEntry(Irp* irp);
    // Takes every queued request for which `pick` is true off the queue, in order.
    std::vector<Irp*> RemoveIf(const std::function<bool(Irp*)>& pick);
    bool Busy() const;

  private:
    mutable std::mutex m_lock;
    bool m_busy = false;
    IrpList m_entries;
};

}  // namespace qorval::kernel
