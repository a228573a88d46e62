#pragma once
// `wyvel32 run`: the driver host in the foreground. It loads the driver into the kernel model,
// announces the simulated card's ports as Plug and Play arrivals, starts them, serves each
// started port on its device socket and the control socket, and runs the lines in real time
// until SIGINT or SIGTERM; then it closes every handle, stops the channels, removes the
// devices and the sockets.
//
//   wyvel32 run [--ports N] [--wire pair|loopback|open] [--rate unlimited|line] [--ber P]
//               [--drop P]

#include <ostream>
#include <span>
#include <string_view>

namespace wyvel32::host {

int RunHostCommand(std::span<const std::string_view> args, std::ostream& out, std::ostream& err);

}  // namespace wyvel32::host
