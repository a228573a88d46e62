#pragma once
// Driver-wide state shared by every port: where configuration is stored, where events go and
// the service key the driver was loaded with. Set up once at driver load and read-only after.

#include <cstdint>
#include <string>

namespace qorval::platform {
class Registry;
class EventLogSink;
}  // namespace qorval::platform

namespace wyvel32 {

// The fixed service key path of the driver, in the kernel's form.
inline constexpr const char* kServiceKeyPath =
    "\\Registry\\Machine\\System\\CurrentControlSet\\Services\\Wyvel32";

inline constexpr uint32_t kDefaultEventLogLevel = 2;

struct DriverContext {
    // Key/value store standing in for the kernel registry routines; it serialises its own
    // callers, so the driver takes no lock around it.
    qorval::platform::Registry* registry = nullptr;
    // Destination of the driver's error-log entries.
    qorval::platform::EventLogSink* event_log = nullptr;
    // The service key path the driver was loaded with (a private copy).
    std::string service_key = kServiceKeyPath;
    // EventLogLevel from the Parameters key, read once at driver load.
    uint32_t event_log_level = kDefaultEventLogLevel;
};

}  // namespace wyvel32
