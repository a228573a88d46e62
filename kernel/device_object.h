#pragma once
// Driver and device objects, the device stack, request dispatch (IoCallDriver), the start-I/O
// queue of a device and the bus driver's device properties.

#include <atomic>
#include <cstdint>
#include <memory>
#include <mutex>
#include <string>

#include "kernel/irp.h"
#include "kernel/kernel_types.h"
#include "kernel/shared_interrupt_lock.h"

namespace wyvel32 {
class Hardware;
}

namespace qorval::kernel {

class IoManager;
class DeviceObject;
struct DriverObject;

using DispatchRoutine = NTSTATUS (*)(DeviceObject* device, Irp* irp);
// Entered holding the system cancel lock, which the routine must release: the lock hands the
// request over from IoStartPacket / IoStartNextPacket without a window in which its cancel
// routine could complete it before the routine has looked at it.
using DriverStartIoRoutine = void (*)(DeviceObject* device, Irp* irp);
using AddDeviceRoutine = NTSTATUS (*)(DriverObject* driver, DeviceObject* physical_device);
using DriverUnloadRoutine = void (*)(DriverObject* driver);
using DriverEntryRoutine = NTSTATUS (*)(DriverObject* driver, const std::string& registry_path);

struct DriverObject {
    IoManager* Manager = nullptr;
    std::string Name;
    DispatchRoutine MajorFunction[kMajorFunctionCount] = {};
    DriverStartIoRoutine DriverStartIo = nullptr;
    AddDeviceRoutine AddDevice = nullptr;
    DriverUnloadRoutine DriverUnload = nullptr;
    void* DriverExtension = nullptr;  // free for the driver (driver-wide state)
};

// What the simulated PCI bus knows about one function it reports (the physical device
// object's extension).
struct PhysicalDeviceInfo {
    uint32_t BusNumber = 0;
    uint32_t DeviceNumber = 0;
    uint32_t FunctionNumber = 0;
    // Resource lists handed to the start request; an absent list is passed as null.
    std::optional<ResourceList> RawResources;
    std::optional<ResourceList> TranslatedResources;
    // The card's register and memory windows, returned by MmMapIoSpace for any address inside
    // the function's memory ranges.
    wyvel32::Hardware* Hardware = nullptr;
    // The lock the card's model runs under (the driver host steps the card holding it and
    // delivers interrupts from inside the step). When set, the function's interrupt object
    // takes it as its interrupt lock, as IoConnectInterrupt's spin-lock parameter lets a
    // driver share one lock; it must be recursive, since the service routine runs inside a
    // step that already holds it.
    SharedInterruptLock* InterruptLock = nullptr;
    // Statuses the bus completes Plug and Play requests with, by minor function (tests use it
    // to make a lower driver fail); success when not listed.
    std::vector<std::pair<uint8_t, NTSTATUS>> PnpFailures;
};

class DeviceObject {
  public:
    DeviceObject(IoManager& manager, DriverObject* driver, std::string name,
                 std::shared_ptr<void> extension, uint32_t device_type, uint32_t characteristics);
    DeviceObject(const DeviceObject&) = delete;
    DeviceObject& operator=(const DeviceObject&) = delete;

    IoManager& Manager;
    DriverObject* const Driver;
    const std::string Name;  // empty for an unnamed device
    const uint32_t DeviceType;
    const uint32_t Characteristics;
    std::atomic<uint32_t> Flags{DO_DEVICE_INITIALIZING};
    // The device extension (PortContext for the driver's devices, PhysicalDeviceInfo for the
    // bus's).
    void* DeviceExtension = nullptr;
    // The device attached on top of this one, or null when this is the top of its stack.
    std::atomic<DeviceObject*> AttachedDevice{nullptr};
    // The device this one is attached to (set by IoAttachDeviceToDeviceStack).
    std::atomic<DeviceObject*> LowerDevice{nullptr};
    // Start-I/O: the device queue and the request being started or served.
    DeviceQueue Queue;
    std::atomic<Irp*> CurrentIrp{nullptr};
    // The last power state reported with PoSetPowerState.
    std::atomic<DevicePowerState> ReportedPowerState{DevicePowerState::Unspecified};
    // Set by IoDeleteDevice; the object stays in memory while handles refer to it.
    std::atomic<bool> Deleted{false};
    // Open handles (the exclusive rule counts them).
    std::atomic<int32_t> OpenCount{0};

    // Model internal: IoStartNextPacket called from inside the driver's start-I/O routine on
    // this thread; the start loop then starts the next packet instead of recursing.
    std::atomic<bool> StartNextRequested{false};

  private:
    std::shared_ptr<void> m_extension;
};

// IoCreateDevice with a default-constructed extension of type Extension. The new device
// carries DO_DEVICE_INITIALIZING until the driver clears it.
template <class Extension>
NTSTATUS IoCreateDevice(DriverObject* driver, const std::string& name, uint32_t device_type,
                        uint32_t characteristics, bool exclusive, DeviceObject** device);
NTSTATUS IoCreateDeviceWithExtension(DriverObject* driver, const std::string& name,
                                     std::shared_ptr<void> extension, uint32_t device_type,
                                     uint32_t characteristics, bool exclusive,
                                     DeviceObject** device);

// IoDeleteDevice: removes the device from the name space; its memory lives on while handles
// or queued work still refer to it.
void IoDeleteDevice(DeviceObject* device);

// IoAttachDeviceToDeviceStack: attaches `source` on top of the stack `target` belongs to and
// returns the device it was attached to (null on failure).
DeviceObject* IoAttachDeviceToDeviceStack(DeviceObject* source, DeviceObject* target);
// IoDetachDevice: detaches whatever is attached on top of `lower`.
void IoDetachDevice(DeviceObject* lower);

// IoCallDriver / PoCallDriver: hands the request to the device's driver. The verifier checks
// that a STATUS_PENDING result comes from a request marked pending.
NTSTATUS IoCallDriver(DeviceObject* device, Irp* irp);

// IoStartPacket: queues the request on the device's start-I/O queue, or starts it at once
// when the queue is idle.
void IoStartPacket(DeviceObject* device, Irp* irp, CancelRoutine cancel_routine);
// IoStartNextPacket: clears the current request and starts the next one, if any.
void IoStartNextPacket(DeviceObject* device, bool cancelable);

// IoGetDeviceProperty of the bus driver: bus number, or device address (device number in the
// high 16 bits, function in the low 16 bits). STATUS_INVALID_PARAMETER for a device that is
// not a bus function.
NTSTATUS IoGetDeviceProperty(DeviceObject* physical_device, DeviceProperty property,
                             uint32_t* value);

template <class Extension>
NTSTATUS IoCreateDevice(DriverObject* driver, const std::string& name, uint32_t device_type,
                        uint32_t characteristics, bool exclusive, DeviceObject** device) {
    return IoCreateDeviceWithExtension(driver, name, std::make_shared<Extension>(), device_type,
                                       characteristics, exclusive, device);
}

}  // namespace qorval::kernel
