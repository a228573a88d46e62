// The menu commands that ask the user for a file or a protocol before they run.

#include "portaccess/driver_host_hint.h"
#include "terminal/terminal_session.h"

namespace qorval::terminal {
namespace {

constexpr const char* kLogFilter = "Log Files (*.log) | *.log | All Files (*.*) | *.* ||";
constexpr const char* kTextFilter = "Text Files (*.txt) | *.txt | All Files (*.*) | *.* ||";
constexpr const char* kBinFilter = "All Files (*.*) | *.* ||";
constexpr const char* kXmodemTarget = "temp.dat";

ui::FileChoice OpenChoice(const char* filter, const char* extension, std::string initial) {
    ui::FileChoice choice;
    choice.mode = ui::FileChoiceMode::Open;
    choice.caption = "Open";
    choice.filter = filter;
    choice.defaultExtension = extension;
    choice.initialPath = std::move(initial);
    return choice;
}

}  // namespace

bool TerminalSession::CheckDriverHost() {
    SystemInfo info{};
    if (port_.GetSystemInfo(info) == 0) {
        return true;
    }
    ui::ShowWarning(messages_, DriverHostHint(), kCaption);
    return false;
}

void TerminalSession::OpenLogCommand() {
    ui::FileChoice choice = OpenChoice(kLogFilter, "log", "*.log");
    choice.mustExist = false;  // a new log may be named
    if (auto path = messages_.ChooseFile(choice)) {
        OpenLog(*path);
    }
}

void TerminalSession::TransmitTextFileCommand() {
    if (auto path = messages_.ChooseFile(OpenChoice(kTextFilter, "txt", "*.txt"))) {
        TransmitTextFile(*path);
    }
}

void TerminalSession::TransmitBinFileCommand() {
    window_.EnableMainWindow(false);
    const std::optional<Protocol> protocol = window_.ChooseProtocol();
    std::optional<std::string> path;
    if (protocol) {
        path = messages_.ChooseFile(OpenChoice(kBinFilter, "", ""));
    }
    if (!path) {
        window_.EnableMainWindow(true);
        return;
    }
    SendBinFile(*protocol, *path);
}

void TerminalSession::ReceiveBinFileCommand() {
    window_.EnableMainWindow(false);
    const std::optional<Protocol> protocol = window_.ChooseProtocol();
    std::optional<std::string> target;
    if (protocol && IsYmodem(*protocol)) {
        target = std::string();  // each file's name comes from its header
    } else if (protocol) {
        target = messages_.ChooseFile(
            OpenChoice(kBinFilter, "", download_dir_ + "/" + kXmodemTarget));
    }
    if (!target) {
        window_.EnableMainWindow(true);
        return;
    }
    ReceiveBinFile(*protocol, *target);
}

}  // namespace qorval::terminal
