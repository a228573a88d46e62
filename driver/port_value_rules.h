#pragma once
// What the driver accepts in a port's key, as verdicts without side effects, so that the driver
// and the configuration tool apply one set of rules: the driver logs a refusal's event and does
// not start (or open) the port; the tool tells its user before it saves anything.
//
// Qt-free and kernel-free: it needs only the registry store. The configuration tool links it.

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

#include "driver/ntstatus.h"
#include "driver/port_config.h"

namespace qorval::platform {
class Registry;
}

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

// The first value the driver refuses, with what it logs and what a person is told.
struct PortRefusal {
    uint32_t event_code = 0;  // the event the driver logs
    std::string insertion;    // its insertion string; empty for none
    std::string_view
        value;           // the registry value to change ("IdleState" where the event says "TxIdle")
    std::string reason;  // "SyncNodeAddress is 300; the driver accepts 0 to 255"
};

// Checks `config` in the driver's fixed order and completes the record as the driver does:
// window lengths, TXCMode when it is neither 1 nor 2, Protocol 0, the buffer sizes rounded up
// to even. Returns the first refusal, or nullopt when the driver takes every value.
std::optional<PortRefusal> CheckPortValues(PortConfig& config);

// Reads Parameters\PortNNN below `service_key` with the driver's defaults (resource values are
// not read here) and takes the Oscillator text. A read that fails (the key missing, a value of
// the wrong type, an Oscillator that does not fit the 10-byte field) gives its status.
NTSTATUS ReadPortValues(qorval::platform::Registry& registry, std::string_view service_key,
                        uint8_t port_number, PortConfig& config);

}  // namespace wyvel32
