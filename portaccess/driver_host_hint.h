#pragma once
// What a tool tells its user about the driver host: that the library finds none to talk to
// (QORVAL_GetSystemInfo fails), or that the port it held open has gone (portaccess/port_loss.h).
// The ports live in the host, so each text says how to start it.

namespace qorval {

inline constexpr char kNoDriverHost[] =
    "No driver host is running. Start it with \"wyvel32 run\" and try again.";

// The port's number fills the %u.
inline constexpr char kHostGoneFormat[] =
    "The connection to the driver host was lost: port %u can no longer be used. Start the host "
    "with \"wyvel32 run\" and open the port again.";
inline constexpr char kPortRemovedFormat[] =
    "Port %u was removed from the driver host (or stopped). Open it again once it is back; if "
    "the host itself has gone, start it with \"wyvel32 run\".";

}  // namespace qorval
