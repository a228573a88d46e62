#pragma once
// The port key's life in the registry: the completeness check, the rewrite with the driver's
// default set, and the decision between them.

#include <optional>
#include <string_view>

#include "driver/ntstatus.h"
#include "driver/port_config.h"

namespace qorval::platform {
class Registry;
}

namespace wyvel32 {

// The longest Oscillator text the completeness check accepts as present.
inline constexpr size_t kOscillatorCheckLimit = 14;

// Reads the 34 values of a complete port key in order. DWORD values with a PortConfig field go
// into the record (so Card, BusType and the location hold the stored values afterwards); the
// first value that is missing or unusable (wrong type, an Oscillator over 14 characters) ends
// the pass with a failure, leaving what was read before it in the record.
// `failed_value`, when given, gets the name of that value.
NTSTATUS CheckPortKey(qorval::platform::Registry& registry, std::string_view key_path,
                      PortConfig& config, std::string_view* failed_value = nullptr);

// Deletes the port key when it exists, creates Parameters and the port key, writes the default
// set in order with the resources and location from `config`, and flushes. The first failing
// step ends the pass with its status.
NTSTATUS WriteDefaultPortKey(qorval::platform::Registry& registry, std::string_view key_path,
                             const PortConfig& config);

// Why the driver rewrites a port key with its default set, discarding every value in it.
enum class PortKeyRewrite {
    None,        // the key is kept
    Incomplete,  // a value is missing or unusable
    NotPciCard,  // its Card is not the PCI card
    MovedCard,   // it records another PCI location than the card's
};
struct PortKeyVerdict {
    PortKeyRewrite rewrite = PortKeyRewrite::None;
    NTSTATUS check_status = STATUS_SUCCESS;  // of the completeness check
    std::string_view missing_value;          // Incomplete: the first value missing or unusable
};

// The driver's rule for keeping a port key: the completeness check (which fills `config` as
// CheckPortKey does), then the card type and, when a location is given, the card's location.
PortKeyVerdict JudgePortKey(qorval::platform::Registry& registry, std::string_view key_path,
                            const std::optional<PciLocation>& location, PortConfig& config);

// Checks the port key of config.PortNumber below `service_key` and rewrites it with defaults
// when it is incomplete, its Card is not the PCI card, or (when a location is given) it records
// another PCI location. Returns the status of the last step.
NTSTATUS LoadPortConfig(qorval::platform::Registry& registry, std::string_view service_key,
                        const std::optional<PciLocation>& location, PortConfig& config);

}  // namespace wyvel32
