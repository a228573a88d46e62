#pragma once
// LogEvent: writes one error-log entry for the driver or a port, filtered by EventLogLevel.

#include <cstdint>
#include <span>
#include <string>
#include <string_view>

#include "driver/driver_context.h"
#include "driver/ntstatus.h"

namespace wyvel32 {

// Every message of the driver is logged at this level.
inline constexpr uint32_t kDriverMessageLevel = 2;
// Unique value carried by every entry.
inline constexpr uint32_t kEventUniqueValue = 1;
// An entry carries at most this many insertion strings; further ones are dropped.
inline constexpr size_t kMaxInsertionStrings = 20;
// Source name of the driver's entries.
inline constexpr std::string_view kEventSource = "Wyvel32";

// The request an entry is about, when there is one.
struct EventRequestInfo {
    uint8_t major_function = 0;
    NTSTATUS final_status = STATUS_SUCCESS;
    uint32_t io_control_code = 0;
};

// True when an entry of this message level passes the EventLogLevel filter.
bool EventLevelEnabled(uint32_t event_log_level, uint32_t message_level);

// Writes the entry when the filter lets it through and a sink is attached; returns whether an
// entry was written.
bool LogEvent(const DriverContext& driver, uint32_t message_level, uint32_t event_code,
              uint32_t unique_value, std::string_view source, const EventRequestInfo* request,
              std::span<const uint32_t> dump, std::span<const std::string> strings);

// The entries of the configuration pass and the board check: the driver's message level, the
// I/O base as two dump words and at most one insertion string.
bool LogPortEvent(const DriverContext& driver, uint64_t base_io, uint32_t event_code,
                  std::string_view insertion = {});

// Insertion-string forms of numbers.
std::string DecimalString(uint64_t value);
std::string HexString(uint64_t value);

// Reads EventLogLevel from the Parameters key below the service key; a missing or unreadable
// value gives 2.
uint32_t ReadEventLogLevel(qorval::platform::Registry& registry, std::string_view service_key);

}  // namespace wyvel32
