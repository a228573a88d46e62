#include "driver/driver_entry.h"

#include <memory>
#include <new>

#include "driver/events.h"
#include "driver/log_event.h"
#include "driver/request_dispatch.h"

namespace wyvel32 {
namespace {

using namespace qorval::kernel;

qorval::platform::Registry* g_registry = nullptr;
qorval::platform::EventLogSink* g_eventLog = nullptr;

// The level at which driver load is logged as well.
constexpr uint32_t kLogLoadLevel = 2;

void LogDriverEvent(const DriverContext& context, uint32_t code) {
    LogEvent(context, kDriverMessageLevel, code, kEventUniqueValue, kEventSource, nullptr, {}, {});
}

void DriverUnload(DriverObject* driver) {
    // The private copy of the service key path goes with the driver-wide state.
    delete static_cast<DriverState*>(driver->DriverExtension);
    driver->DriverExtension = nullptr;
}

}  // namespace

void SetDriverPlatform(qorval::platform::Registry* registry,
                       qorval::platform::EventLogSink* event_log) {
    g_registry = registry;
    g_eventLog = event_log;
}

NTSTATUS DriverEntry(DriverObject* driver, const std::string& registry_path) {
    DriverContext context;
    context.registry = g_registry;
    context.event_log = g_eventLog;
    context.event_log_level = g_registry != nullptr ? ReadEventLogLevel(*g_registry, registry_path)
                                                    : kDefaultEventLogLevel;
    if (context.event_log_level == kLogLoadLevel) {
        LogDriverEvent(context, EVENT_DRIVER_LOADED);
    }
    // Without a registry no port could ever be configured.
    auto* state = g_registry != nullptr ? new (std::nothrow) DriverState : nullptr;
    if (state == nullptr) {
        LogDriverEvent(context, EVENT_DRIVER_INIT_FAILED);
        return g_registry != nullptr ? STATUS_INSUFFICIENT_RESOURCES : STATUS_UNSUCCESSFUL;
    }
    state->context = context;
    state->context.service_key = registry_path;
    state->PortMap = 0;
    driver->DriverExtension = state;
    RegisterDispatchRoutines(driver);
    driver->DriverUnload = DriverUnload;
    LogDriverEvent(context, EVENT_DRIVER_INIT_OK);
    return STATUS_SUCCESS;
}

DriverState& DriverStateOf(DriverObject* driver) {
    return *static_cast<DriverState*>(driver->DriverExtension);
}

uint32_t TakePortNumber(DriverState& state) {
    SpinLockGuard guard(state.PortMapLock);
    for (uint32_t index = 0; index < kMaxPorts; ++index) {
        if ((state.PortMap & (1u << index)) == 0) {
            state.PortMap |= 1u << index;
            return index + 1;
        }
    }
    return 0;
}

void ReleasePortNumber(DriverState& state, uint32_t port_number) {
    if (port_number == 0 || port_number > kMaxPorts) {
        return;
    }
    SpinLockGuard guard(state.PortMapLock);
    state.PortMap &= ~(1u << (port_number - 1));
}

}  // namespace wyvel32
