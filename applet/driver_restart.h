// The restart prompt after a successful OK. A desktop tool does not restart the machine: "Yes"
// restarts the started ports of the running driver host (stop, then start, through its control
// socket), so the driver reads the new settings, as it does when its devices start.
#pragma once

#include <functional>
#include <string>

#include "platform/user_messages.h"

namespace qorval::applet {

// One control command line to the driver host and its answer ("ok..." or "error: ...").
using DriverHostAsk = std::function<std::string(const std::string& command)>;

enum class RestartOutcome { Declined, Restarted, NoDriverHost, Failed };

inline constexpr const char* kRestartQuestion =
    "You will need to exit and restart windows\nbefore the new settings can take effect.\n\n"
    "Do you wish to reboot now?";
inline constexpr const char* kRestartCaption = "Restart Windows";

// Asks the restart question (warning icon, Yes and No, No the default) and on Yes restarts the
// host's started ports, telling the user what happened.
RestartOutcome RunRestartPrompt(ui::UserMessages& user, const DriverHostAsk& ask);

// The control socket of the driver host under the current prefix.
DriverHostAsk ControlSocketAsk();

}  // namespace qorval::applet
