#include "driver/port_validation.h"

#include "driver/events.h"
#include "driver/log_event.h"

namespace wyvel32 {

NTSTATUS ValidatePortConfig(const DriverContext& driver, PortConfig& config) {
    if (const std::optional<PortRefusal> refusal = CheckPortValues(config)) {
        LogPortEvent(driver, config.BaseIO, refusal->event_code, refusal->insertion);
        return STATUS_UNSUCCESSFUL;
    }
    if (config.Enabled == 0) {
        LogPortEvent(driver, config.BaseIO, EVENT_PORT_DISABLED);
    }
    return STATUS_SUCCESS;
}

NTSTATUS ReadValidatePortConfig(const DriverContext& driver, std::string_view service_key,
                                uint8_t port_number, PortConfig& config) {
    const NTSTATUS status = ReadPortValues(*driver.registry, service_key, port_number, config);
    if (!NT_SUCCESS(status)) {
        return status;
    }
    return ValidatePortConfig(driver, config);
}

}  // namespace wyvel32
