#pragma once
// What a window tells its user when the port access library finds no driver host to talk to
// (QORVAL_GetSystemInfo fails): the ports live in the host, so say how to start it.

namespace qorval {

inline constexpr char kNoDriverHost[] =
    "No driver host is running. Start it with \"wyvel32 run\" and try again.";

}  // namespace qorval
