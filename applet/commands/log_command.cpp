// `qorval log`: the configuration log of the stored configuration (the text every OK writes to
// c:\QLConfig.LOG) on standard output, without changing anything, so an administrator sees the
// jumpers each card needs from a shell.
#include <cstdio>

#include "applet/commands/command_support.h"
#include "applet/commands/config_commands.h"
#include "applet/config_log.h"

namespace qorval::applet::commands {

int RunLogCommand(std::span<const std::string_view> args, std::ostream& out, std::ostream& err) {
    CommandLine line;
    if (!ParseCommandLine(args, /*takes_yes=*/false, line) || !line.words.empty()) {
        err << "usage: qorval log [--store registry|ini]\n";
        return kExitUsage;
    }
    ConfigModel model;
    if (!ReadStoredModel(line, model, err, "Error: ")) {
        return kExitFailed;
    }
    out << ComposeConfigLog(model);
    return kExitOk;
}

}  // namespace qorval::applet::commands
