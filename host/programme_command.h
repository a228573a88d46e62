#pragma once
// `wyvel32 programme N`: what a device start does for port N up to the board check, against a
// simulated card, printing the card's register access trace.

#include <ostream>
#include <span>
#include <string_view>

namespace wyvel32::host {

int RunProgrammeCommand(std::span<const std::string_view> args, std::ostream& out,
                        std::ostream& err);

}  // namespace wyvel32::host
