#include "terminal/protocol.h"

#include <array>

namespace qorval::terminal {
namespace {

struct ProtocolNames {
    Protocol protocol;
    std::string_view caption;  // as the selection dialog lists it
    std::string_view option;   // as the command line takes it
};

constexpr std::array<ProtocolNames, 4> kNames{{
    {Protocol::Xmodem, "X-MODEM", "xmodem"},
    {Protocol::Xmodem1K, "X-MODEM 1K", "xmodem-1k"},
    {Protocol::Ymodem, "Y-MODEM", "ymodem"},
    {Protocol::YmodemG, "Y-MODEM G", "ymodem-g"},
}};

}  // namespace

std::string_view ProtocolName(Protocol protocol) {
    for (const auto& n : kNames) {
        if (n.protocol == protocol) {
            return n.caption;
        }
    }
    return kNames.back().caption;
}

Protocol ProtocolFromChoice(int choice) {
    if (choice >= 1 && choice <= 3) {
        return static_cast<Protocol>(choice);
    }
    return Protocol::YmodemG;
}

std::optional<Protocol> ProtocolFromName(std::string_view name) {
    for (const auto& n : kNames) {
        if (n.option == name) {
            return n.protocol;
        }
    }
    return std::nullopt;
}

}  // namespace qorval::terminal
