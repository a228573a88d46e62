#pragma once
// The options of `wyvel32 run`, parsed and checked.

#include <span>
#include <string>
#include <string_view>

#include "host/bus/simulated_bus.h"

namespace wyvel32::host {

// Returns an empty string on success, else the message for the user.
[[nodiscard]] std::string ParseHostOptions(std::span<const std::string_view> args,
                                           qorval::host::BusOptions& options);

}  // namespace wyvel32::host
