#include "driver/log_event.h"

#include <algorithm>
#include <cstdio>

#include "driver/registry_values.h"
#include "platform/event_log.h"
#include "platform/registry.h"

namespace wyvel32 {

bool EventLevelEnabled(uint32_t event_log_level, uint32_t message_level) {
    return event_log_level != 0 && message_level <= event_log_level;
}

bool LogEvent(const DriverContext& driver, uint32_t message_level, uint32_t event_code,
              uint32_t unique_value, std::string_view source, const EventRequestInfo* request,
              std::span<const uint32_t> dump, std::span<const std::string> strings) {
    if (!EventLevelEnabled(driver.event_log_level, message_level) || driver.event_log == nullptr) {
        return false;
    }
    qorval::platform::EventLogEntry entry;
    entry.source = std::string(source);
    entry.error_code = event_code;
    entry.unique_value = unique_value;
    if (request != nullptr) {
        entry.major_function = request->major_function;
        entry.final_status = request->final_status;
        entry.io_control_code = request->io_control_code;
    }
    entry.dump_data.assign(dump.begin(), dump.end());
    const size_t count = std::min(strings.size(), kMaxInsertionStrings);
    entry.strings.assign(strings.begin(), strings.begin() + static_cast<ptrdiff_t>(count));
    driver.event_log->Write(entry);
    return true;
}

bool LogPortEvent(const DriverContext& driver, uint64_t base_io, uint32_t event_code,
                  std::string_view insertion) {
    const uint32_t dump[2] = {static_cast<uint32_t>(base_io), static_cast<uint32_t>(base_io >> 32)};
    std::string strings[1] = {std::string(insertion)};
    const size_t string_count = insertion.empty() ? 0 : 1;
    return LogEvent(driver, kDriverMessageLevel, event_code, kEventUniqueValue, kEventSource,
                    nullptr, dump, std::span<const std::string>(strings, string_count));
}

std::string DecimalString(uint64_t value) {
    char text[24];
    std::snprintf(text, sizeof text, "%llu", static_cast<unsigned long long>(value));
    return text;
}

std::string HexString(uint64_t value) {
    char text[24];
    std::snprintf(text, sizeof text, "%llX", static_cast<unsigned long long>(value));
    return text;
}

uint32_t ReadEventLogLevel(qorval::platform::Registry& registry, std::string_view service_key) {
    const std::string key = ParametersKeyPath(service_key);
    uint32_t level = kDefaultEventLogLevel;
    if (!registry.QueryDword(key, "EventLogLevel", level).ok()) {
        return kDefaultEventLogLevel;
    }
    return level;
}

}  // namespace wyvel32
