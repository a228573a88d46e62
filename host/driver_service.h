#pragma once
// The driver's service key as a service manager uses it: `Start` 3 starts the driver's devices
// as they arrive (what installing a Plug and Play driver writes), 4 disables the driver, whose
// devices then arrive but are not started. The configuration tool's "Driver is enabled" sets it.

#include <string>

#include "platform/registry.h"

namespace wyvel32::host {

inline constexpr uint32_t kServiceDemandStart = 3;
inline constexpr uint32_t kServiceDisabled = 4;

// Writes Start 3 into the service key when it holds no Start value, as installing the driver
// does, so a configuration the host made loads in the tool as enabled. Returns why it could not
// (the host runs on regardless), or an empty string.
std::string InstallDriverService(qorval::platform::Registry& registry);

// Why the driver's devices must not be started now: the driver is disabled (Start is 4). An
// empty string when they may, also when Start is missing or cannot be read.
std::string DriverStartRefusal(qorval::platform::Registry& registry);

}  // namespace wyvel32::host
