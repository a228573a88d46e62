// What a packet analyser asks of the extcap program (the external capture interface of
// extcap(4)): list the interfaces, their link types or their options, or capture one of them
// into a FIFO. Each port of the driver host is one interface, "wyvel32-<port>".
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <variant>
#include <vector>

#include "portaccess/qorval32.h"

namespace qorval::analyser {

struct ExtcapRequest {
    enum class Action { Interfaces, Dlts, Config, Capture };
    Action action = Action::Interfaces;
    uint16_t port = 0;  // the interface's port (every action but Interfaces)
    std::string fifo;   // Capture: where the pcapng stream goes
};

// The request from the arguments (after the program's name), or the error text. Options take
// their value after "=" or as the next argument; options the analyser adds for purposes this
// program does not serve (its version, control pipes, debugging) are accepted and ignored.
std::variant<ExtcapRequest, std::string> ParseExtcapArguments(const std::vector<std::string>& args);

// "wyvel32-<port>", and back (nullopt for any other name or a port outside 1..32).
std::string InterfaceName(uint16_t port);
std::optional<uint16_t> PortOfInterface(std::string_view name);

// The answers of the listing actions, one line each, as extcap(4) gives their grammar.
// Interfaces: one per port of the Wyvel32 driver that the driver host has started.
std::string InterfaceListing(const SystemInfo* info);
std::string DltListing();

}  // namespace qorval::analyser
