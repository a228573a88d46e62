#pragma once
// Validating a port's values in the driver's fixed order, with the events the driver logs.
// The rules themselves are in port_value_rules.h, which the configuration tool shares.

#include <string_view>

#include "driver/driver_context.h"
#include "driver/ntstatus.h"
#include "driver/port_config.h"
#include "driver/port_value_rules.h"

namespace wyvel32 {

// Validates `config` in order; the first rejected value logs one event and gives
// STATUS_UNSUCCESSFUL. Also completes the record: window lengths, TXCMode, Protocol 0 and the
// buffer sizes rounded up to even. A port with Enabled 0 is logged and still accepted.
NTSTATUS ValidatePortConfig(const DriverContext& driver, PortConfig& config);

// Reads Parameters\PortNNN below `service_key` with the defaults (resource values are not read
// here), takes the Oscillator text, then validates. A read that fails (the key missing, a value
// of the wrong type, an Oscillator that does not fit) ends the pass with its status and no event.
NTSTATUS ReadValidatePortConfig(const DriverContext& driver, std::string_view service_key,
                                uint8_t port_number, PortConfig& config);

}  // namespace wyvel32
