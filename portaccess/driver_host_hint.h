#pragma once
// What a tool tells its user about the driver host: that the library cannot reach it
// (QORVAL_GetSystemInfo fails), or that the port it held open has gone (portaccess/port_loss.h).
// The ports live in the host, so each text names the cause and what to do: no host runs, the
// host does not answer (stopped, say), or it belongs to another user who has not shared it.

#include <string>

namespace qorval {

inline constexpr char kNoDriverHost[] =
    "No driver host is running. Start it with \"wyvel32 run\" and try again.";
inline constexpr char kDriverHostNotShared[] =
    "The driver host is not open to you (permission denied on %s). It belongs to another user; "
    "ask them to share its ports with your group, or start your own with \"wyvel32 run\".";
inline constexpr char kDriverHostAnswersNow[] =
    "The driver host did not answer in time but answers now (%s). Try again.";
inline constexpr char kDriverHostNotAnswering[] =
    "The driver host does not answer (%s); it may be stopped. Let it continue, or start it "
    "again with \"wyvel32 run\", and try again.";

// Looks at the host's status socket (without waiting more than a second) and returns the text
// for what it finds, the path filled in.
std::string DriverHostHint();

// The port's number fills the %u.
inline constexpr char kHostGoneFormat[] =
    "The connection to the driver host was lost: port %u can no longer be used. Start the host "
    "with \"wyvel32 run\" and open the port again.";
inline constexpr char kPortRemovedFormat[] =
    "Port %u was removed from the driver host (or stopped). Open it again once it is back; if "
    "the host itself has gone, start it with \"wyvel32 run\".";

}  // namespace qorval
