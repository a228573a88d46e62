#pragma once
// The names of a port's device object and symbolic link.

#include <cstdint>
#include <string>

namespace wyvel32 {

inline constexpr const char* kDeviceNamePrefix = "\\Device\\Wyvel32_00";
inline constexpr const char* kLinkNamePrefix = "\\DosDevices\\Wyvel32_00";

// "\Device\Wyvel32_00" followed by the digits of port number - 1 (port 1: Wyvel32_000).
inline std::string DeviceNameFor(uint32_t port_number) {
    return kDeviceNamePrefix + std::to_string(port_number - 1);
}

// "\DosDevices\Wyvel32_00" followed by the digits of the port number (port 10: Wyvel32_0010).
inline std::string LinkNameFor(uint32_t port_number) {
    return kLinkNamePrefix + std::to_string(port_number);
}

}  // namespace wyvel32
