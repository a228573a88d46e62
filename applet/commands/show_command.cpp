// `qorval show [DRIVER [PORT]]`: the stored values, one Name=value a line, in the order the
// registry store writes them. With a driver and a port, that port's values; with a driver, the
// driver's values and then each port's under a "[Port001]" line; with nothing, every driver
// under "[Wyvel32]" and each of its ports under "[Wyvel32\Port001]". Nothing is changed.
#include "applet/commands/command_support.h"
#include "applet/commands/config_commands.h"
#include "applet/named_values.h"

namespace qorval::applet::commands {

namespace {

void Print(std::ostream& out, const std::vector<NamedValue>& values) {
    for (const auto& [name, value] : values) {
        out << name << '=' << value << '\n';
    }
}

void PrintDriver(std::ostream& out, const ConfigModel& model, int32_t d,
                 const std::string& prefix) {
    Print(out, DriverValues(model, d));
    const DriverEntry& driver = model.driver(d);
    for (int32_t p = 0; p < driver.port_count && p < kMaxPortsPerDriver; ++p) {
        out << '[' << prefix << driver.ports[static_cast<size_t>(p)].name << "]\n";
        Print(out, PortValues(model, d, p));
    }
}

}  // namespace

int RunShowCommand(std::span<const std::string_view> args, std::ostream& out, std::ostream& err) {
    CommandLine line;
    if (!ParseCommandLine(args, /*takes_yes=*/false, line) || line.words.size() > 2) {
        err << "usage: qorval show [DRIVER [PORT]] [--store registry|ini]\n";
        return kExitUsage;
    }
    ConfigModel model;
    if (!ReadStoredModel(line, model, err, "qorval show: ")) {
        return kExitFailed;
    }
    if (line.words.empty()) {
        for (int32_t d = 0; d < model.driver_count; ++d) {
            out << '[' << model.driver(d).name << "]\n";
            PrintDriver(out, model, d, model.driver(d).name + "\\");
        }
        return kExitOk;
    }
    const int32_t d = FindDriver(model, line.words[0]);
    if (d < 0) {
        err << "qorval show: " << NoSuchDriver(line.words[0]) << '\n';
        return kExitFailed;
    }
    if (line.words.size() == 1) {
        PrintDriver(out, model, d, "");
        return kExitOk;
    }
    const int32_t p = FindPort(model.driver(d), line.words[1]);
    if (p < 0) {
        err << "qorval show: the " << model.driver(d).name << " driver has no port "
            << line.words[1] << '\n';
        return kExitFailed;
    }
    Print(out, PortValues(model, d, p));
    return kExitOk;
}

}  // namespace qorval::applet::commands
