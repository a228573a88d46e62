// `qorval apply`: what "Yes" to the window's restart question does, without the question:
// every port of the running driver host is started with the stored settings, and each port that
// is not running as it should is reported. Exits 1 when a port could not be started (a disabled
// driver's ports are not a failure), 0 otherwise, also when no driver host runs (the settings
// then take effect when it starts).
#include "applet/commands/command_support.h"
#include "applet/commands/config_commands.h"
#include "applet/driver_restart.h"

namespace qorval::applet::commands {

int RunApplyCommand(std::span<const std::string_view> args, std::ostream& out, std::ostream& err) {
    if (!args.empty()) {
        err << "usage: qorval apply\n";
        return kExitUsage;
    }
    const RestartReport report = RestartDriverHost(ControlSocketAsk());
    (report.outcome == RestartOutcome::Failed ? err : out)
        << report.text << (report.text.ends_with('\n') ? "" : "\n");
    return report.outcome == RestartOutcome::Failed ? kExitFailed : kExitOk;
}

}  // namespace qorval::applet::commands
