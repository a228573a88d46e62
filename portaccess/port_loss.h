#pragma once
// How every tool tells that the port it holds open is gone, in place of an ordinary failed
// request: the driver host has died (killed, or stopped with the port open) or the port's device
// was removed (`wyvel32 surprise-remove N`, `remove N`, `stop N`). A handle in either state
// fails every request for good, so a tool that keeps using it only spins on errors; it must
// stop its work, say so once and let the user open a port again.
//
// The recognition keeps to the library's contract, so it holds for the real library, the
// analyser's library loaded by name and the fake alike. A request on such a handle fails with
// 7 (port not open: the device was removed under the handle) or 14 (general error: the library
// lost the host's connection, or the device answered nothing sensible). Only those two results
// are looked into, and they are rare on a sound port, so the questions below cost nothing in
// normal running:
//   1. QORVAL_GetSystemInfo fails: no host answers any more.
//   2. The host answers but does not list the port as present: its device is gone.
//   3. One QORVAL_GetBufferCount on the handle fails with 14 or 7 again: the handle is dead
//      (a host that was killed and started again since serves new handles, not this one; a
//      port removed and added again is a new device behind a new handle).
// Anything else is the request's own failure and the port is kept.

#include <cstdint>
#include <string>

#include "portaccess/qorval32.h"

namespace qorval {

enum class PortLoss : uint8_t {
    kNone = 0,     // the port is still there
    kHostGone,     // the driver host no longer serves this handle
    kPortRemoved,  // the host runs, but the port's device has gone
};

// After a request on the open `handle` of `portNumber` (of `driverType`) failed with `result`:
// whether the port is gone, and why.
[[nodiscard]] PortLoss RecognisePortLoss(QORVAL_HANDLE handle, uint16_t driverType,
                                         uint16_t portNumber, uint32_t result);

// The text a tool shows once when it has found its port gone: the cause and what to do.
std::string PortLossMessage(PortLoss loss, uint16_t portNumber);

// The exit status of a tool run from the shell whose port went away under it.
inline constexpr int kExitPortLost = 3;

}  // namespace qorval
