#pragma once
// The port key's schema: the values read with their defaults, the values the completeness check
// requires, and the default set the driver writes when it rewrites a port key.

#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <string_view>

#include "driver/port_config.h"

namespace wyvel32 {

// Value names used by code outside the tables.
inline constexpr std::string_view kValueOscillator = "Oscillator";
inline constexpr std::string_view kValueBaseIO = "BaseIO";
inline constexpr std::string_view kValueInterrupt = "Interrupt";
inline constexpr std::string_view kValueMemory = "Memory";
inline constexpr std::string_view kValueIUSC = "IUSC";

// A DWORD value read with a default at start and at open. No default: a missing value leaves the
// field as it was.
struct ReadValue {
    std::string_view name;
    uint32_t PortConfig::*field;
    std::optional<uint32_t> fallback;
};
std::span<const ReadValue> PortReadValues();

// A value the completeness check requires. DWORD values with a field go into PortConfig; the
// others only have to be present (the Oscillator is text and checked for length).
struct CheckValue {
    std::string_view name;
    uint32_t PortConfig::*field;  // nullptr: presence only
    bool text = false;
};
std::span<const CheckValue> PortCheckValues();

// One entry of the default set, in writing order.
enum class DefaultSource {
    Number,         // the constant `number`
    Text,           // the constant `text` (REG_SZ)
    ChannelLetter,  // REG_SZ: one capital letter for the port
    BaseIO,
    Interrupt,
    Memory,
    IUSC,
    BusNum,
    PCIDevice,
    PCIFunction,
};
struct DefaultValue {
    std::string_view name;
    DefaultSource source;
    uint32_t number = 0;
    std::string_view text = {};
};
std::span<const DefaultValue> DefaultPortValues();

// The capital letter naming a port's channel: A for port 1, B for port 2, wrapping after Z.
char ChannelLetter(uint8_t port_number);

// "<service>\Parameters" and "<service>\Parameters\PortNNN".
std::string ParametersKeyPath(std::string_view service_key);
std::string PortKeyPath(std::string_view service_key, uint8_t port_number);

}  // namespace wyvel32
