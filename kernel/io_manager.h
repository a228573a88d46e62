#pragma once
// The kernel model's I/O manager, and the host's one interface to the driver.
//
// A driver host (or a test) makes one IoManager, loads the driver into it, announces PCI
// functions as Plug and Play arrivals, starts them, opens ports by their link names and sends
// requests. The driver sees the kernel's view: device objects, request records, dispatch
// routines, start-I/O, cancel routines, interrupt objects, work items and power requests.
//
// Typical host use:
//
//     IoManager kernel;
//     kernel.LoadDriver("Wyvel32", wyvel32::DriverEntry, wyvel32::kServiceKeyPath);
//     IoManager::DeviceId id;
//     kernel.AddPhysicalDevice(info, &id);       // info: location, resources, card windows
//     kernel.StartDevice(id);                     // the driver creates \DosDevices\Wyvel32_001
//     IoManager::Handle h;
//     kernel.Open("\\DosDevices\\Wyvel32_001", 0, &h);   // overlapped handle
//     kernel.Write(h, frame, [](NTSTATUS s, uint64_t info, std::span<const uint8_t>) {...});
//     kernel.Read(h, 4096, [](NTSTATUS s, uint64_t info, std::span<const uint8_t> data) {...});
//     kernel.CloseHandle(h);
//     kernel.RemoveDevice(id);
//
// Threads: every public function may be called from any thread, concurrently, except that the
// Plug and Play, power, Open and CloseHandle calls block until the driver has finished with the
// request and so must never be called from a completion callback. Completion callbacks run on
// whatever thread completes the request (the submitting thread, the thread that delivered the
// interrupt whose DPC served a waiting read, a cancelling thread or the worker thread); keep
// them short and never block in them.
//
// Interrupts: the host calls DeliverInterrupt(vector) whenever the card's interrupt line is
// asserted (level-sensitive: call it again while the line stays asserted). The vector is the
// one in the function's translated interrupt resource.

#include <condition_variable>
#include <cstdint>
#include <deque>
#include <functional>
#include <map>
#include <memory>
#include <mutex>
#include <span>
#include <string>
#include <thread>
#include <vector>

#include "kernel/device_activity.h"
#include "kernel/device_object.h"
#include "kernel/interrupt.h"
#include "kernel/irp.h"
#include "kernel/kernel_types.h"

namespace wyvel32 {
class Hardware;
}

namespace qorval::kernel {

// One error-log packet as the driver wrote it (IoWriteErrorLogEntry).
struct ErrorLogEntry {
    uint32_t ErrorCode = 0;
    uint32_t UniqueErrorValue = 0;
    uint8_t MajorFunctionCode = 0;
    NTSTATUS FinalStatus = STATUS_SUCCESS;
    uint32_t IoControlCode = 0;
    std::vector<uint32_t> DumpData;
    std::vector<std::string> Strings;
    std::string Source;  // device or driver name
};

class IoManager {
  public:
    using DeviceId = uint32_t;  // one announced PCI function, from 1
    using Handle = uint64_t;    // one open file object, from 1; 0 is never a valid handle
    using RequestId = uint64_t;
    // The final status, the information count and, for reads and device controls, the output
    // bytes (the first `information` bytes of the system buffer, clamped to the output length).
    using Completion =
        std::function<void(NTSTATUS status, uint64_t information, std::span<const uint8_t> output)>;

    IoManager();
    ~IoManager();  // removes every device still present and unloads the driver
    IoManager(const IoManager&) = delete;
    IoManager& operator=(const IoManager&) = delete;

    // ---- The driver ----

    // Creates the driver object and calls `entry` with the registry path; the driver stays
    // loaded only when entry succeeds. One driver per manager.
    NTSTATUS LoadDriver(const std::string& name, DriverEntryRoutine entry,
                        const std::string& registry_path);
    // Calls the driver's unload routine (after removing any device still present).
    void UnloadDriver();
    DriverObject* Driver() { return m_driver.get(); }
    DriverObject* BusDriver() { return m_busDriver.get(); }

    // ---- The Plug and Play manager (each call blocks until the request is complete) ----

    // Creates the physical device object of a new PCI function and calls the driver's add-
    // device routine; returns that routine's status. `id` is set even when add-device fails
    // (the function then has no driver device; StartDevice gives STATUS_NO_SUCH_DEVICE).
    NTSTATUS AddPhysicalDevice(PhysicalDeviceInfo info, DeviceId* id);
    NTSTATUS StartDevice(DeviceId id);
    NTSTATUS QueryStopDevice(DeviceId id);
    NTSTATUS CancelStopDevice(DeviceId id);
    NTSTATUS StopDevice(DeviceId id);
    NTSTATUS QueryRemoveDevice(DeviceId id);
    NTSTATUS CancelRemoveDevice(DeviceId id);
    NTSTATUS SurpriseRemoveDevice(DeviceId id);
    // Sends the remove request and then deletes the physical device object; the id is gone.
    NTSTATUS RemoveDevice(DeviceId id);
    // Any Plug and Play minor function (query capabilities, query device state, ...).
    NTSTATUS SendPnp(DeviceId id, uint8_t minor);
    // Power: a system power request (IRP_MN_SET_POWER or IRP_MN_QUERY_POWER), as the power
    // manager sends at sleep and wake, or a device power request.
    NTSTATUS SendSystemPower(DeviceId id, uint8_t minor, SystemPowerState state);
    NTSTATUS SendDevicePower(DeviceId id, uint8_t minor, DevicePowerState state);
    // A system control (WMI) request.
    NTSTATUS SendSystemControl(DeviceId id, uint8_t minor);
    // Replaces the resource lists the next start of the function hands out (tests).
    void SetResources(DeviceId id, std::optional<ResourceList> raw,
                      std::optional<ResourceList> translated);

    std::vector<DeviceId> Devices() const;
    // The top of the function's device stack (the driver's device object, once added), or
    // null for an unknown id.
    DeviceObject* TopDevice(DeviceId id) const;
    DeviceObject* PhysicalDevice(DeviceId id) const;

    // ---- Name space ----

    // IoCreateSymbolicLink / IoDeleteSymbolicLink. Names are compared without regard to case.
    NTSTATUS CreateSymbolicLink(const std::string& link, const std::string& device_name);
    NTSTATUS DeleteSymbolicLink(const std::string& link);
    // Every link with the device name it points to, sorted by link.
    std::vector<std::pair<std::string, std::string>> SymbolicLinks() const;
    // The device of that name, or the device a link of that name points to.
    std::shared_ptr<DeviceObject> FindDevice(const std::string& name) const;

    // ---- Clients ----

    // Opens a device by link name ("\DosDevices\Wyvel32_001"; "\\.\Wyvel32_001" and
    // "\??\Wyvel32_001" name the same link) or device name. `create_options` carries
    // FILE_SYNCHRONOUS_IO_NONALERT for a synchronous handle, 0 for an overlapped one. An
    // exclusive device that already has a handle gives STATUS_ACCESS_DENIED; an unknown name
    // STATUS_OBJECT_NAME_NOT_FOUND. Blocks until the driver has answered.
    NTSTATUS Open(const std::string& name, uint32_t create_options, Handle* handle);

    // Submit a request on a handle. `done` is called exactly once, possibly before the call
    // returns; the result is the request's id for CancelRequest. An unknown or closing handle
    // completes with STATUS_INVALID_HANDLE and returns 0.
    RequestId Read(Handle handle, uint32_t length, Completion done);
    RequestId Write(Handle handle, std::span<const uint8_t> data, Completion done);
    RequestId DeviceControl(Handle handle, uint32_t code, std::span<const uint8_t> input,
                            uint32_t output_length, Completion done);

    // IoCancelIrp on one outstanding request of the handle; false when it is no longer
    // outstanding. CancelIo cancels every outstanding request of the handle (what happens to a
    // dying process's requests).
    bool CancelRequest(Handle handle, RequestId request);
    void CancelIo(Handle handle);

    // Closes a handle: sends the cleanup request, waits until the handle's outstanding
    // requests are complete, then sends the close request. A client that died should have
    // CancelIo called first, as the kernel does for a terminating process. Blocks.
    NTSTATUS CloseHandle(Handle handle);

    // Outstanding requests of a handle (tests and status).
    size_t OutstandingRequests(Handle handle) const;

    // What the driver does on its own for the function under a handle's device: its service
    // routine's runs and the Plug and Play and power requests sent to it
    // (device_activity.h). Null for an unknown handle or a device of no function.
    std::shared_ptr<DeviceActivity> ActivityOf(Handle handle) const;

    // ---- Interrupts and DPCs ----

    // Runs the service routines connected to `vector` (in connection order), then the DPCs
    // they queued. Returns whether any routine claimed the interrupt.
    bool DeliverInterrupt(uint32_t vector);
    // The two halves of DeliverInterrupt, for a host that raises interrupts while it holds the
    // card's lock (the card clock steps a card holding it): the service routines run at once,
    // the DPCs they queued only when RunQueuedDpcs is called after the lock is released, as
    // DPCs never run under an interrupt lock.
    bool RaiseInterrupt(uint32_t vector);
    void RunQueuedDpcs();
    // The interrupt lock a function's card shares (PhysicalDeviceInfo::InterruptLock), for the
    // function whose translated interrupt resource has this vector; null when none does.
    SharedInterruptLock* InterruptLockOf(uint32_t vector) const;
    // The activities of the functions whose interrupt resource has this vector, for the
    // interrupt object.
    std::vector<std::shared_ptr<DeviceActivity>> ActivitiesOfVector(uint32_t vector) const;
    // Settles the activity's interrupt runs once no DPC is queued or running.
    void SettleAfterDpcs(std::shared_ptr<DeviceActivity> activity);

    // ---- Device memory ----

    // MmMapIoSpace: the card windows of the function whose translated memory resources hold
    // [physical, physical + length); null when none does. Every mapping must be unmapped.
    wyvel32::Hardware* MapIoSpace(uint64_t physical, uint32_t length);
    void UnmapIoSpace(wyvel32::Hardware* mapped, uint32_t length);
    int MappedRanges() const { return m_mapped.load(); }

    // ---- Error log ----

    void WriteErrorLogEntry(ErrorLogEntry entry);
    void SetErrorLogSink(std::function<void(const ErrorLogEntry&)> sink);

    // ---- Counters for the tests ----
    uint64_t PowerRequestsStarted() const { return m_powerStarted.load(); }
    size_t ConnectedInterrupts() const;

    // ---- Used by the kernel functions of this model; not for hosts ----
    NTSTATUS RegisterDevice(const std::shared_ptr<DeviceObject>& device);
    void UnregisterDevice(DeviceObject* device);
    std::shared_ptr<DeviceObject> Reference(DeviceObject* device) const;
    void ConnectInterrupt(std::shared_ptr<KInterrupt> interrupt);
    void DisconnectInterrupt(KInterrupt* interrupt);
    bool QueueDpc(KDpc* dpc);
    void FlushDpcs();
    void QueueWork(std::function<void()> work);
    void CountPowerStart() { m_powerStarted.fetch_add(1); }
    // Sends a request the manager made itself to the top of `device`'s stack and, when
    // `wait` is set, blocks until it is complete. Returns the final status when waited for.
    NTSTATUS SendAndWait(DeviceObject* device, std::unique_ptr<Irp> irp);
    // Starts an internal request asynchronously; `finished` runs at its completion.
    void SendAsync(DeviceObject* device, std::unique_ptr<Irp> irp,
                   std::function<void(Irp&)> finished);

  private:
    struct HandleEntry;
    struct Function;

    RequestId Submit(Handle handle, std::unique_ptr<Irp> irp, Completion done);
    std::shared_ptr<HandleEntry> FindHandle(Handle handle) const;
    std::shared_ptr<Function> FindFunction(DeviceId id) const;
    // The activity of the function whose device stack has `device` on top, or null.
    std::shared_ptr<DeviceActivity> ActivityOfDevice(const DeviceObject* device) const;
    NTSTATUS SendPnpIrp(DeviceId id, std::unique_ptr<Irp> irp);
    void WorkerLoop();
    void RemoveAllDevices();

    mutable std::mutex m_lock;  // guards the maps below
    std::unique_ptr<DriverObject> m_driver;
    std::unique_ptr<DriverObject> m_busDriver;
    std::map<std::string, std::shared_ptr<DeviceObject>> m_devicesByName;  // upper-cased
    std::vector<std::shared_ptr<DeviceObject>> m_devices;
    std::map<std::string, std::pair<std::string, std::string>>
        m_links;  // upper link -> link, target
    std::map<DeviceId, std::shared_ptr<Function>> m_functions;
    DeviceId m_nextFunction = 1;
    std::map<Handle, std::shared_ptr<HandleEntry>> m_handles;
    Handle m_nextHandle = 1;
    std::vector<std::shared_ptr<KInterrupt>> m_interrupts;
    std::function<void(const ErrorLogEntry&)> m_errorSink;
    std::atomic<int> m_mapped{0};
    std::atomic<uint64_t> m_powerStarted{0};

    // DPC queue: drained by the thread that delivered the interrupt.
    std::mutex m_dpcLock;
    std::condition_variable m_dpcIdle;
    std::deque<KDpc*> m_dpcs;
    int m_dpcsRunning = 0;
    std::vector<std::shared_ptr<DeviceActivity>> m_unsettled;  // to settle after the DPCs

    // The system worker thread (work items, internal asynchronous steps).
    std::mutex m_workLock;
    std::condition_variable m_workReady;
    std::deque<std::function<void()>> m_work;
    bool m_stopping = false;
    std::thread m_worker;
};

// Driver-facing forms of the name-space and error-log services.
inline NTSTATUS IoCreateSymbolicLink(IoManager& manager, const std::string& link,
                                     const std::string& device_name) {
    return manager.CreateSymbolicLink(link, device_name);
}
inline NTSTATUS IoDeleteSymbolicLink(IoManager& manager, const std::string& link) {
    return manager.DeleteSymbolicLink(link);
}
inline wyvel32::Hardware* MmMapIoSpace(IoManager& manager, uint64_t physical, uint32_t length) {
    return manager.MapIoSpace(physical, length);
}
inline void MmUnmapIoSpace(IoManager& manager, wyvel32::Hardware* mapped, uint32_t length) {
    manager.UnmapIoSpace(mapped, length);
}
inline void IoWriteErrorLogEntry(IoManager& manager, ErrorLogEntry entry) {
    manager.WriteErrorLogEntry(std::move(entry));
}

}  // namespace qorval::kernel
