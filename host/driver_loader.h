#pragma once
// Loads the adapter driver into a kernel model with the registry and event log it uses.

#include <string>

#include "kernel/io_manager.h"
#include "platform/event_log.h"
#include "platform/registry.h"

namespace wyvel32::host {

// Returns an empty string on success, else what failed.
[[nodiscard]] std::string LoadWyvel32(qorval::kernel::IoManager& kernel,
                                      qorval::platform::Registry& registry,
                                      qorval::platform::EventLogSink& event_log);

}  // namespace wyvel32::host
