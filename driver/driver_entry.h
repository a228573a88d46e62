#pragma once
// Driver load and unload, the driver-wide state and the port number map.
//
// The driver host hands the driver its registry and event log before loading it (in the
// kernel these are system services the driver simply calls):
//
//     wyvel32::SetDriverPlatform(&registry, &event_log);
//     kernel.LoadDriver("Wyvel32", wyvel32::DriverEntry, wyvel32::kServiceKeyPath);

#include <cstdint>
#include <string>

#include "driver/driver_context.h"
#include "driver/ntstatus.h"
#include "kernel/device_object.h"
#include "kernel/sync.h"

namespace wyvel32 {

inline constexpr uint32_t kMaxPorts = 32;

// Driver-wide state, kept in the driver object's extension.
struct DriverState {
    // Registry, event log, the service key path (a private copy) and EventLogLevel.
    DriverContext context;
    // Guards PortMap.
    qorval::kernel::SpinLock PortMapLock;
    // Bit i set while port number i + 1 belongs to a device.
    uint32_t PortMap = 0;
};

// The registry and event log the next DriverEntry takes. Without a registry driver entry fails
// (STATUS_UNSUCCESSFUL); without an event log entries are dropped.
void SetDriverPlatform(qorval::platform::Registry* registry,
                       qorval::platform::EventLogSink* event_log);

// DriverEntry: reads EventLogLevel, copies the service key path, clears the port number map
// and registers the dispatch, start-I/O, add-device and unload routines.
NTSTATUS DriverEntry(qorval::kernel::DriverObject* driver, const std::string& registry_path);

DriverState& DriverStateOf(qorval::kernel::DriverObject* driver);

// Takes the lowest free port number (1 to 32); 0 when all are in use.
uint32_t TakePortNumber(DriverState& state);
// Gives a port number back.
void ReleasePortNumber(DriverState& state, uint32_t port_number);

}  // namespace wyvel32
