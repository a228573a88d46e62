#include "host/registry_failure_report.h"

#include "driver/events.h"
#include "driver/log_event.h"

namespace wyvel32::host {

namespace {

constexpr const char* kCannotUse = "the configuration cannot be used: ";
constexpr const char* kStaysStopped =
    "; the port stays stopped; once that is put right, `wyvel32 start N` starts it";

}  // namespace

std::string ReportRegistryFailure(qorval::platform::Registry& registry,
                                  qorval::platform::EventLogSink& event_log) {
    const auto failure = registry.TakeFileFailure();
    if (!failure) {
        return {};
    }
    qorval::platform::EventLogEntry entry;
    entry.source = std::string(kEventSource);
    entry.error_code = EVENT_DRIVER_INIT_FAILED;
    entry.unique_value = kEventUniqueValue;
    entry.strings = {failure->message};
    event_log.Write(entry);
    return kCannotUse + failure->message + kStaysStopped;
}

}  // namespace wyvel32::host
