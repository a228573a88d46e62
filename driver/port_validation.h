#pragma once
// Reading a port's values with their defaults, and validating them in the driver's fixed order.

#include <string_view>

#include "driver/driver_context.h"
#include "driver/ntstatus.h"
#include "driver/port_config.h"

namespace wyvel32 {

// Card memory shared by the lists and buffers of a port.
inline constexpr uint64_t kCardMemoryBytes = 262144;
// Most list entries the card memory and the entry count allow together.
inline constexpr uint64_t kMaxTotalBuffers = 8192;
inline constexpr uint32_t kListEntryBytes = 16;
inline constexpr uint32_t kMinBuffSize = 16;
inline constexpr uint32_t kMaxBuffSize = 65535;

// Card memory taken by the lists and buffers of a configuration.
uint64_t CardMemoryNeeded(const PortConfig& config);

// Validates `config` in order; the first rejected value logs one event and gives
// STATUS_UNSUCCESSFUL. Also completes the record: window lengths, TXCMode, Protocol 0 and the
// buffer sizes rounded up to even.
NTSTATUS ValidatePortConfig(const DriverContext& driver, PortConfig& config);

// Reads Parameters\PortNNN below `service_key` with the defaults (resource values are not read
// here), takes the Oscillator text, then validates. A read that fails (the key missing, a value
// of the wrong type, an Oscillator that does not fit) ends the pass with its status and no event.
NTSTATUS ReadValidatePortConfig(const DriverContext& driver, std::string_view service_key,
                                uint8_t port_number, PortConfig& config);

}  // namespace wyvel32
