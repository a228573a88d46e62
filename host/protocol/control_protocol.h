#pragma once
// Names of the driver host's sockets and the text protocol of its control socket.
//
// The control socket (SOCK_SEQPACKET) takes one command per message, a line of words such as
// "list" or "stop 2", and answers with one message: "ok" followed by result lines, or
// "error: <what went wrong>". "list" answers one line per device:
//   port <number> <state> <socket name>
// where state is the Plug and Play state of the device ("started", "stopped", ...), or
// "disabled" for a device not started because its driver is disabled.

#include <string>
#include <string_view>
#include <vector>

namespace qorval::protocol {

// The owner's control socket (every command) and the status socket a group that shares the
// ports may use too (list and status only).
inline constexpr std::string_view kControlSocketName = "wyvel32.control";
inline constexpr std::string_view kStatusSocketName = "wyvel32.status";

// The device socket of a port carries the name of its symbolic link: port 1 is "Wyvel32_001",
// port 10 is "Wyvel32_0010". Every device socket's name starts with the prefix.
inline constexpr std::string_view kDeviceSocketPrefix = "Wyvel32_";
std::string DeviceSocketName(unsigned port_number);

// The state "list" gives a port that is not started because its driver is disabled (the
// driver's service key holds Start 4), and the reason a start of such a port is refused with.
inline constexpr std::string_view kDisabledState = "disabled";
inline constexpr std::string_view kDriverDisabled =
    "the Wyvel32 driver is disabled (Start is 4 in its service key)";

struct PortListing {
    unsigned number = 0;
    std::string state;
    std::string socket_name;
    bool started() const { return state == "started"; }
};

std::string FormatPortList(const std::vector<PortListing>& ports);

// Returns an empty string on success, else what was wrong with the reply.
[[nodiscard]] std::string ParsePortList(std::string_view reply, std::vector<PortListing>& out);

}  // namespace qorval::protocol
