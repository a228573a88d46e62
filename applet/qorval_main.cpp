// qorval: the configuration tool's command line.
//
//   qorval                               opens "Qorval Drivers Configuration"
//   qorval log [--store registry|ini]
//
// With no arguments it does what a control panel does with the applet library
// libqorval_applet.so (beside the program, or found by the run path).
// prints the configuration log of the stored configuration (the text written to
// c:\QLConfig.LOG on every OK) without changing anything, so an administrator can see the
// jumpers each card needs from a shell.
#include <cstdio>
#include <iostream>
#include <optional>
#include <string>
#include <string_view>

#include "applet/config_log.h"
#include "applet/cpl/applet_host.h"
#include "applet/config_store.h"
#include "platform/console_user_messages.h"
#include "platform/program_info.h"

namespace {

using namespace qorval::applet;

constexpr const char* kUsage = "usage: qorval | qorval log [--store registry|ini]\n";

int Usage() {
    std::cerr << kUsage;
    return 2;
}

}  // namespace

constexpr qorval::platform::ProgramInfo kProgram{
    .name = "qorval",
    .summary = "The configuration tool of the Qorval suite. With no arguments it opens the "
               "configuration\nwindow; `qorval log` prints the configuration log of the stored "
               "configuration.",
    .usage = kUsage};

int main(int argc, char** argv) {
    if (const auto status = AnswerInfoRequest(kProgram, argc, argv, std::cout)) {
        return *status;
    }
    if (argc == 1) {
        return RunAppletHost("libqorval_applet.so", std::cerr);
    }
    if (argc < 2 || std::string_view(argv[1]) != "log") {
        return Usage();
    }
    std::optional<std::string_view> store_option;
    for (int i = 2; i < argc; ++i) {
        const std::string_view arg = argv[i];
        if (arg == "--store" && i + 1 < argc) {
            store_option = argv[++i];
        } else if (arg.starts_with("--store=")) {
            store_option = arg.substr(8);
        } else {
            return Usage();
        }
    }
    // Messages go to standard error; questions take their negative answer.
    qorval::ui::ConsoleUserMessages user(std::cerr, /*withCaption=*/true);
    ConfigModel model;
    const std::optional<StoreKind> kind = ChooseStore(store_option, user);
    if (!kind) {
        return 1;
    }
    if (const std::string problem = LoadConfig(model, *kind, DefaultStorePaths(), {.tidy = false});
        !problem.empty()) {
        ShowError(user, ConfigUnreadableText(problem), "Error");
        return 1;
    }
    const std::string text = ComposeConfigLog(model);
    std::fwrite(text.data(), 1, text.size(), stdout);
    return 0;
}
