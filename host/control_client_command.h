#pragma once
// `wyvel32 status` and the commands that drive a running host's Plug and Play manager and
// lines (add, start, stop, surprise-remove, remove, sleep, wake, wire, ber, drop, rate): each
// is sent to the host's control socket and its answer printed.

#include <ostream>
#include <span>
#include <string_view>

namespace wyvel32::host {

int RunControlClientCommand(std::string_view name, std::span<const std::string_view> args,
                            std::ostream& out, std::ostream& err);

}  // namespace wyvel32::host
