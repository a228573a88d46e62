#pragma once
// `wyvel32 status` and the commands that drive a running host's Plug and Play manager and
// lines (add, start, stop, surprise-remove, remove, sleep, wake, wire, ber, drop, rate): each
// is sent to the host's control socket and its answer printed.

#include <chrono>
#include <ostream>
#include <span>
#include <string>
#include <string_view>

namespace wyvel32::host {

// How long a command waits for the host to take it and to answer, as long as the port access
// library waits for a request: a stopped (Ctrl-Z) or stalled host must not hang the shell.
inline constexpr std::chrono::milliseconds kControlAnswerWait{5000};

// Sends one command line to the running host's control socket and returns its answer ("ok..."
// or "error: ..."), or an "error: ..." text of our own when the host cannot be reached: one
// that starts "error: no driver host is running" when nothing listens on the socket.
std::string AskDriverHost(const std::string& command,
                          std::chrono::milliseconds wait = kControlAnswerWait);

int RunControlClientCommand(std::string_view name, std::span<const std::string_view> args,
                            std::ostream& out, std::ostream& err,
                            std::chrono::milliseconds wait = kControlAnswerWait);

}  // namespace wyvel32::host
