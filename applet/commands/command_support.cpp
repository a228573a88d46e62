#include "applet/commands/command_support.h"

#include <charconv>
#include <cstdlib>

#include "applet/card_types.h"
#include "applet/text_util.h"
#include "platform/console_user_messages.h"

namespace qorval::applet::commands {

bool ParseCommandLine(std::span<const std::string_view> args, bool takes_yes, CommandLine& line) {
    for (size_t i = 0; i < args.size(); ++i) {
        const std::string_view arg = args[i];
        if (arg == "--store" && i + 1 < args.size()) {
            line.store = args[++i];
        } else if (arg.starts_with("--store=")) {
            line.store = arg.substr(8);
        } else if (takes_yes && arg == "--yes") {
            line.yes = true;
        } else if (arg.starts_with("--")) {
            return false;
        } else {
            line.words.push_back(arg);
        }
    }
    return true;
}

std::optional<StoreKind> CommandStore(const CommandLine& line, std::ostream& err) {
    std::optional<std::string_view> option = line.store;
    if (!option) {
        if (const char* value = std::getenv("QORVAL_STORE"); value != nullptr) {
            option = value;
        }
    }
    ui::ConsoleUserMessages user(err, /*withCaption=*/true);
    return ChooseStore(option, user);
}

bool ReadStoredModel(const CommandLine& line, ConfigModel& model, std::ostream& err,
                     std::string_view prefix) {
    const std::optional<StoreKind> kind = CommandStore(line, err);
    if (!kind) {
        return false;
    }
    if (const std::string problem = LoadConfig(model, *kind, DefaultStorePaths(), {.tidy = false});
        !problem.empty()) {
        err << prefix << ConfigUnreadableText(problem) << '\n';
        return false;
    }
    return true;
}

int32_t FindDriver(const ConfigModel& model, std::string_view name) {
    for (int32_t d = 0; d < model.driver_count; ++d) {
        if (EqualsNoCase(model.driver(d).name, name)) {
            return d;
        }
    }
    return -1;
}

int32_t FindPort(const DriverEntry& driver, std::string_view port) {
    int32_t number = 0;
    const auto [end, error] = std::from_chars(port.data(), port.data() + port.size(), number);
    const bool numeric = error == std::errc{} && end == port.data() + port.size();
    for (int32_t p = 0; p < driver.port_count && p < kMaxPortsPerDriver; ++p) {
        const std::string& name = driver.ports[static_cast<size_t>(p)].name;
        if (EqualsNoCase(name, port) || (numeric && EqualsNoCase(name, PortKeyName(number)))) {
            return p;
        }
    }
    return -1;
}

std::string NoSuchDriver(std::string_view name) {
    std::string text = "no driver " + std::string(name) + " is configured";
    if (EqualsNoCase(name, DriverInfo(kWyvel32).name)) {
        text += "; the 16C32 ports appear once the driver host has started them (wyvel32 run)";
    }
    return text;
}

}  // namespace qorval::applet::commands
