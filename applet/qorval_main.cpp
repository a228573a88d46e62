// qorval: the configuration tool. With no arguments it opens "Qorval Drivers Configuration" as
// a control panel does with the applet library libqorval_applet.so (beside the program, or found
// by the run path); the sub-commands run headless on the same engine and load no window system.
#include <iostream>
#include <string>
#include <string_view>
#include <vector>

#include "applet/commands/command_support.h"
#include "applet/commands/config_commands.h"
#include "applet/cpl/applet_host.h"
#include "platform/program_info.h"

namespace {

using namespace qorval::applet::commands;

constexpr const char* kUsage =
    "usage: qorval                                     open the configuration window\n"
    "       qorval show [DRIVER [PORT]] [--store S]    print the stored values, Name=value\n"
    "       qorval set DRIVER [PORT] Name=value... [--yes] [--store S]\n"
    "                                                  change values as the window's OK does\n"
    "       qorval apply                               restart the driver host's ports with\n"
    "                                                  the stored values, port by port\n"
    "       qorval log [--store S]                     print the configuration log\n"
    "S is registry (the default) or ini; QORVAL_STORE names it too.\n";

using Command = int (*)(std::span<const std::string_view>, std::ostream&, std::ostream&);

struct SubCommand {
    std::string_view name;
    Command run;
};

constexpr SubCommand kCommands[] = {
    {"show", RunShowCommand},
    {"set", RunSetCommand},
    {"apply", RunApplyCommand},
    {"log", RunLogCommand},
};

}  // namespace

constexpr qorval::platform::ProgramInfo kProgram{
    .name = "qorval",
    .summary = "The configuration tool of the Qorval suite. With no arguments it opens the "
               "configuration\nwindow; `show`, `set` and `apply` read, change and apply the "
               "stored configuration\nfrom a shell with the window's rules, and `log` prints "
               "the configuration log.",
    .usage = kUsage};

int main(int argc, char** argv) {
    if (const auto status = AnswerInfoRequest(kProgram, argc, argv, std::cout)) {
        return *status;
    }
    if (argc == 1) {
        return qorval::applet::RunAppletHost("libqorval_applet.so", std::cerr);
    }
    const std::string_view name = argv[1];
    const std::vector<std::string_view> args(argv + 2, argv + argc);
    for (const SubCommand& command : kCommands) {
        if (command.name == name) {
            return command.run(args, std::cout, std::cerr);
        }
    }
    std::cerr << kUsage;
    return kExitUsage;
}
