#pragma once
// Says why ports did not start when the registry file was the cause. The driver only sees a
// kernel status (0xC0000001) when the file is damaged, unreadable or locked by someone else;
// the store keeps the reason, and the host passes it on to the administrator: on standard
// error or in a control command's answer, and in the event log as "driver initialisation
// failed" (0xE0070003) with the reason as its insertion string.

#include <string>

#include "platform/event_log.h"
#include "platform/registry.h"

namespace wyvel32::host {

// When the registry failed since the last call, logs the event and returns the sentence for
// the administrator ("the configuration cannot be used: <reason>; ..."); else an empty string.
std::string ReportRegistryFailure(qorval::platform::Registry& registry,
                                  qorval::platform::EventLogSink& event_log);

}  // namespace wyvel32::host
