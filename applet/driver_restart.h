// Applying stored settings to the running driver host. A desktop tool does not restart the
// machine: the restart prompt after a successful OK ("Yes") and `qorval apply` restart the
// driver host's ports instead (stop, then start, through its control socket), so the driver
// reads every stored value again, as it does when its devices start.
#pragma once

#include <functional>
#include <string>
#include <vector>

#include "platform/user_messages.h"

namespace qorval::applet {

// One control command line to the driver host and its answer ("ok..." or "error: ...").
using DriverHostAsk = std::function<std::string(const std::string& command)>;

enum class RestartOutcome {
    Declined,      // the user answered No
    Restarted,     // every port runs with the stored settings, or is not started because the
                   // driver is disabled
    NoDriverHost,  // nothing to restart: the settings take effect when the host starts
    Failed,        // a port could not be stopped or started, or the host could not be asked
};

enum class PortRestartResult { Restarted, Disabled, Failed };
struct PortRestart {
    unsigned number = 0;
    PortRestartResult result = PortRestartResult::Restarted;
    std::string reason;  // the host's answer when the port is not running
};

struct RestartReport {
    RestartOutcome outcome = RestartOutcome::Restarted;
    std::vector<PortRestart> ports;
    std::string text;  // what the user is told, one line per port where there is more to say
};

inline constexpr const char* kRestartQuestion =
    "You will need to exit and restart windows\nbefore the new settings can take effect.\n\n"
    "Do you wish to reboot now?";
inline constexpr const char* kRestartCaption = "Restart Windows";

// Starts every port of the running host with the stored settings, as a restart of the machine
// would: a started port is stopped first, and a port that is stopped (by an earlier failure too)
// is started. Every port is tried, whatever happened to the others.
RestartReport RestartDriverHost(const DriverHostAsk& ask);

// Asks the restart question (warning icon, Yes and No, No the default) and on Yes restarts the
// host's ports, then shows the report: an error box when a port is not running as it should.
RestartOutcome RunRestartPrompt(ui::UserMessages& user, const DriverHostAsk& ask);

// The control socket of the driver host under the current prefix.
DriverHostAsk ControlSocketAsk();

}  // namespace qorval::applet
