// `qorval set DRIVER [PORT] Name=value...`: changes stored values as the configuration window
// would, and stores them as its OK does. Each value goes through the rule of the window's
// control (which must be one the window lets change for that port); then come the OK-time
// checks, the checks of what the driver will take, and the save. All values are stored or none:
// any refused value, and any question the window would ask (unless --yes answers it Yes), ends
// the command with status 1 and the store as it was. Without PORT only the driver's values
// (Start) can be set.
#include "applet/commands/command_support.h"
#include "applet/commands/config_commands.h"
#include "applet/named_values.h"
#include "platform/console_user_messages.h"

namespace qorval::applet::commands {

namespace {

constexpr const char* kUsage =
    "usage: qorval set DRIVER [PORT] Name=value... [--yes] [--store registry|ini]\n";
// A store another program keeps changing is read and edited again at most this many times.
constexpr int kAttempts = 3;

struct Assignment {
    std::string_view name;
    std::string_view value;
};

// Messages go to standard error with their captions. A question is answered Yes with --yes;
// otherwise with its negative button, which makes every OK-time question stop the save.
class SetCommandUser : public ui::ConsoleUserMessages {
  public:
    SetCommandUser(std::ostream& err, bool yes)
        : ConsoleUserMessages(err, /*withCaption=*/true,
                              yes ? std::optional(ui::MessageAnswer::Yes) : std::nullopt) {}
    ui::MessageAnswer ShowMessage(const ui::Message& message) override {
        asked = asked || message.buttons != ui::MessageButtons::Ok;
        return ConsoleUserMessages::ShowMessage(message);
    }
    bool asked = false;
};

enum class Outcome { Saved, NotSaved, StoreChanged };

// One pass: read the store, apply the values, run the OK path.
Outcome SetOnce(ConfigStore& store, const CommandLine& line, const std::vector<Assignment>& values,
                std::ostream& err) {
    ConfigModel model;
    if (const std::string problem = store.Load(model); !problem.empty()) {
        err << "qorval set: " << ConfigUnreadableText(problem) << '\n';
        return Outcome::NotSaved;
    }
    const int32_t d = FindDriver(model, line.words[0]);
    if (d < 0) {
        err << "qorval set: nothing was saved: " << NoSuchDriver(line.words[0]) << '\n';
        return Outcome::NotSaved;
    }
    model.selected_driver = d;
    model.selected_port = 0;
    model.selection_level = kSelectDriver;
    if (line.words.size() > 1 && line.words[1].find('=') == std::string_view::npos) {
        model.selected_port = FindPort(model.driver(d), line.words[1]);
        if (model.selected_port < 0) {
            err << "qorval set: nothing was saved: the " << model.driver(d).name
                << " driver has no port " << line.words[1] << '\n';
            return Outcome::NotSaved;
        }
        model.selection_level = kSelectPort;
    }
    std::string refused;
    for (const Assignment& value : values) {
        const ValueChange change = SetNamedValue(model, value.name, value.value);
        if (change.result == ChangeResult::Refused) {
            refused += "  " + std::string(value.name) + "=" + std::string(value.value) + ": " +
                       change.why + "\n";
        }
    }
    if (!refused.empty()) {
        err << "qorval set: nothing was saved; refused:\n" << refused;
        return Outcome::NotSaved;
    }
    SetCommandUser user(err, line.yes);
    const CheckResult result = CommitConfig(model, store, user, WhenStoreChanged::Report);
    if (result.store_changed) {
        return Outcome::StoreChanged;
    }
    if (!result.proceed) {
        err << "qorval set: nothing was saved"
            << (user.asked && !line.yes ? "; run again with --yes to answer Yes" : "") << '\n';
        return Outcome::NotSaved;
    }
    return Outcome::Saved;
}

}  // namespace

int RunSetCommand(std::span<const std::string_view> args, std::ostream& out, std::ostream& err) {
    (void)out;
    CommandLine line;
    if (!ParseCommandLine(args, /*takes_yes=*/true, line) || line.words.size() < 2) {
        err << kUsage;
        return kExitUsage;
    }
    std::vector<Assignment> values;
    const bool port_given = line.words[1].find('=') == std::string_view::npos;
    for (size_t i = port_given ? 2 : 1; i < line.words.size(); ++i) {
        const std::string_view word = line.words[i];
        const size_t equals = word.find('=');
        if (equals == std::string_view::npos || equals == 0) {
            err << "qorval set: not a Name=value: " << word << '\n' << kUsage;
            return kExitUsage;
        }
        values.push_back({word.substr(0, equals), word.substr(equals + 1)});
    }
    if (values.empty()) {
        err << kUsage;
        return kExitUsage;
    }
    const std::optional<StoreKind> kind = CommandStore(line, err);
    if (!kind) {
        return kExitFailed;
    }
    ConfigStore store(*kind, DefaultStorePaths());
    for (int attempt = 0; attempt < kAttempts; ++attempt) {
        switch (SetOnce(store, line, values, err)) {
            case Outcome::Saved:
                return kExitOk;
            case Outcome::NotSaved:
                return kExitFailed;
            case Outcome::StoreChanged:
                break;  // another program saved meanwhile: read its result and apply ours to it
        }
    }
    err << "qorval set: nothing was saved: the configuration kept changing while it was saved\n";
    return kExitFailed;
}

}  // namespace qorval::applet::commands
