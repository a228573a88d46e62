// The driver host program. Each sub-command lives in its own file; this only dispatches.

#include <iostream>
#include <string>
#include <string_view>
#include <vector>

#include "host/control_client_command.h"
#include "host/programme_command.h"
#include "host/run_command.h"
#include "platform/program_info.h"

namespace {

using Command = int (*)(std::span<const std::string_view>, std::ostream&, std::ostream&);

struct SubCommand {
    std::string_view name;
    Command run;
};

constexpr SubCommand kCommands[] = {
    {"programme", wyvel32::host::RunProgrammeCommand},
    {"run", wyvel32::host::RunHostCommand},
};

// Commands a running host answers on its control socket.
constexpr std::string_view kControlCommands[] = {
    "status", "add", "start", "stop", "surprise-remove", "remove", "sleep",
    "wake",   "wire", "ber",  "drop", "rate",
};

std::string UsageText() {
    std::string text = "usage: wyvel32 <command> [arguments]\ncommands:";
    for (const SubCommand& command : kCommands) {
        text.append(" ").append(command.name);
    }
    for (const std::string_view command : kControlCommands) {
        text.append(" ").append(command);
    }
    return text + "\n";
}

int Usage() {
    std::cerr << UsageText();
    return 2;
}

}  // namespace

int main(int argc, char** argv) {
    const std::string usage = UsageText();
    const qorval::platform::ProgramInfo program{
        .name = "wyvel32",
        .summary = "The driver host of the Qorval suite: the wyvel32 adapter driver on simulated "
                   "cards,\nserving their ports to the tools. `wyvel32 run` starts it; the other "
                   "commands talk\nto a running host.",
        .usage = usage};
    if (const auto status = AnswerInfoRequest(program, argc, argv, std::cout)) {
        return *status;
    }
    if (argc < 2) {
        return Usage();
    }
    const std::string_view name = argv[1];
    const std::vector<std::string_view> args(argv + 2, argv + argc);
    for (const SubCommand& command : kCommands) {
        if (command.name == name) {
            return command.run(args, std::cout, std::cerr);
        }
    }
    for (const std::string_view command : kControlCommands) {
        if (command == name) {
            return wyvel32::host::RunControlClientCommand(name, args, std::cout, std::cerr);
        }
    }
    return Usage();
}
