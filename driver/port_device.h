#pragma once
// PortDevice: the device extension of one port's device object. It holds the PortContext
// (configuration, hardware and frame engine state) and everything the request interface and
// the device lifecycle keep per port. Made at add-device, freed when the device object goes.
//
// Lock order, outermost first: hold-list lock, system cancel lock, hardware lock (shared),
// interrupt lock. Nothing is completed while any of them is held.

#include <atomic>
#include <cstdint>
#include <shared_mutex>
#include <string>

#include "driver/port_context.h"
#include "kernel/device_object.h"
#include "kernel/interrupt.h"
#include "kernel/irp.h"
#include "kernel/sync.h"

namespace wyvel32 {

// Plug and Play state of a port device.
enum class PnpState : uint8_t {
    NeverStarted = 0,
    Started = 1,
    StopPending = 2,
    Stopped = 3,
    RemovePending = 4,
    SurpriseRemoved = 5,
    Removed = 6,
};

// What the gate does with create, read, write, start-I/O and device control requests.
enum class RequestGate : uint8_t {
    Hold = 0,      // park them on the hold list until the device runs again
    Accept = 1,    // hand them to the request handlers
    FailHeld = 2,  // the device is going away: fail them
};

struct PortDevice {
    // Configuration copy, mapped card windows, interrupt lock, rings and counters.
    PortContext port;

    // ---- Identity (set at add-device, read-only afterwards) ----

    uint32_t PortIndex = 0;                            // port number - 1
    qorval::kernel::DeviceObject* Self = nullptr;      // this device object
    qorval::kernel::DeviceObject* Physical = nullptr;  // the bus's device object below
    qorval::kernel::DeviceObject* Lower = nullptr;     // the device we are attached to
    std::string DeviceName;                            // "\Device\Wyvel32_00<n-1>"
    std::string LinkName;                              // "\DosDevices\Wyvel32_00<n>"

    // ---- Plug and Play (changed by the Plug and Play and power dispatch, one at a time) ----

    std::atomic<PnpState> State{PnpState::NeverStarted};
    // The state before the last start or pending query; a cancelled query restores it.
    std::atomic<PnpState> PreviousState{PnpState::NeverStarted};
    // Changed only holding HoldLock, so that a request never lands on the hold list after
    // the list was replayed (see lifecycle_gate.cpp).
    std::atomic<RequestGate> Gate{RequestGate::Hold};
    qorval::kernel::SpinLock HoldLock;  // guards HoldList and changes of Gate
    qorval::kernel::IrpList HoldList;   // requests that arrived while the gate was Hold

    // Outstanding requests, counted from 1; 0 only once the device is being removed.
    std::atomic<int32_t> OutstandingIo{1};
    // Makes each change of the count and the matching change of the idle event one step, so
    // the event never disagrees with the count (see lifecycle_gate.cpp).
    qorval::kernel::SpinLock CountLock;
    // Set when the count falls back to 1, cleared when it rises to 2 (auto-reset).
    qorval::kernel::KEvent IdleEvent{qorval::kernel::KEvent::Type::Synchronization, true};
    // Set when the count reaches 0 (auto-reset).
    qorval::kernel::KEvent RemoveEvent{qorval::kernel::KEvent::Type::Synchronization, false};

    // ---- Power ----

    std::atomic<qorval::kernel::DevicePowerState> DevicePower{qorval::kernel::DevicePowerState::D3};
    std::atomic<qorval::kernel::SystemPowerState> SystemPower{
        qorval::kernel::SystemPowerState::Working};

    // ---- Hardware (changed by start and hardware release) ----

    // Held shared by every request path that reaches the card, exclusive by hardware
    // release, so nothing touches a window that is being unmapped.
    std::shared_mutex HardwareLock;
    bool HardwareStarted = false;                     // guarded by HardwareLock
    qorval::kernel::KInterrupt* Interrupt = nullptr;  // connected interrupt object
    Hardware* MappedMemory = nullptr;                 // card-memory window mapping
    Hardware* MappedIusc = nullptr;                   // register window mapping
    bool LinkCreated = false;                         // the symbolic link exists
    PciLocation Location;                             // where the card sits
    uint32_t BusType = 0;                             // 5: PCI

    // ---- The open handle ----

    // Set at open unless the handle asked for synchronous non-alertable I/O: a read that finds
    // no frame then waits for one instead of returning empty.
    std::atomic<bool> WaitFlag{false};

    // ---- Reads: the driver's own device queue, guarded by the system cancel lock ----

    qorval::kernel::DeviceQueue ReadQueue;       // busy while CurrentRead is set
    qorval::kernel::Irp* CurrentRead = nullptr;  // the read at the head of the queue
    bool ReadServing = false;                    // a thread is running ReadFrame for CurrentRead
    bool ReadRetry = false;  // a frame may have been stored while it did; try again
    // Queued by the interrupt service routine when frames wait: serves a waiting read.
    qorval::kernel::KDpc ReadDpc;

    PortDevice();
};

inline PortDevice& PortOf(qorval::kernel::DeviceObject* device) {
    return *static_cast<PortDevice*>(device->DeviceExtension);
}

}  // namespace wyvel32
