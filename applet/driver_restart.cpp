#include "applet/driver_restart.h"

#include <string_view>

#include "host/control_client_command.h"
#include "host/protocol/control_protocol.h"

namespace qorval::applet {

namespace {

constexpr std::string_view kNoHost = "error: no driver host is running";
constexpr std::string_view kErrorMark = "error: ";
constexpr const char* kNoHostText =
    "No driver host is running, so no port needs restarting.\n"
    "The new settings take effect when it is started (wyvel32 run).";
constexpr const char* kErrorCaption = "Error";

// The host's reason without "error: " and the line end.
std::string Reason(std::string_view answer) {
    if (answer.starts_with(kErrorMark)) {
        answer.remove_prefix(kErrorMark.size());
    }
    while (!answer.empty() && answer.back() == '\n') {
        answer.remove_suffix(1);
    }
    return std::string(answer);
}

PortRestart RestartPort(const DriverHostAsk& ask, const protocol::PortListing& port) {
    const std::string number = std::to_string(port.number);
    if (port.started()) {
        if (const std::string answer = ask("stop " + number); !answer.starts_with("ok")) {
            return {port.number, PortRestartResult::Failed, "stopping it: " + Reason(answer)};
        }
    }
    const std::string answer = ask("start " + number);
    if (answer.starts_with("ok")) {
        return {port.number, PortRestartResult::Restarted, {}};
    }
    const std::string reason = Reason(answer);
    return {port.number,
            reason.starts_with(protocol::kDriverDisabled) ? PortRestartResult::Disabled
                                                          : PortRestartResult::Failed,
            reason};
}

std::string Describe(const PortRestart& port) {
    const std::string name = "Port " + std::to_string(port.number) + ": ";
    if (port.result == PortRestartResult::Restarted) {
        return name + "restarted with the new settings.\n";
    }
    std::string_view reason = port.reason;
    if (reason.ends_with('.')) {
        reason.remove_suffix(1);
    }
    return name + "not started: " + std::string(reason) + ".\n";
}

void Compose(RestartReport& report) {
    std::string restarted;
    std::string lines;
    bool all_restarted = true;
    for (const PortRestart& port : report.ports) {
        lines += Describe(port);
        if (port.result == PortRestartResult::Restarted) {
            restarted += (restarted.empty() ? "" : ", ") + std::to_string(port.number);
        } else {
            all_restarted = false;
        }
        if (port.result == PortRestartResult::Failed) {
            report.outcome = RestartOutcome::Failed;
        }
    }
    if (report.ports.empty()) {
        report.text = "The driver host has no port to restart.";
    } else if (all_restarted) {
        report.text = "The driver host restarted port " + restarted + " with the new settings.";
    } else if (report.outcome == RestartOutcome::Failed) {
        report.text =
            "The driver host could not start every port with the new settings:\n\n" + lines;
    } else {
        report.text = "The driver host applied the new settings:\n\n" + lines;
    }
}

}  // namespace

RestartReport RestartDriverHost(const DriverHostAsk& ask) {
    RestartReport report;
    const std::string listing = ask("list");
    if (listing.starts_with(kNoHost)) {
        report.outcome = RestartOutcome::NoDriverHost;
        report.text = kNoHostText;
        return report;
    }
    std::vector<protocol::PortListing> ports;
    std::string bad =
        listing.starts_with("ok") ? protocol::ParsePortList(listing, ports) : Reason(listing);
    if (!bad.empty()) {
        report.outcome = RestartOutcome::Failed;
        report.text = "The driver host could not list its ports: " + bad;
        return report;
    }
    for (const protocol::PortListing& port : ports) {
        if (port.state != "surprise-removed") {  // a card that is gone has nothing to restart
            report.ports.push_back(RestartPort(ask, port));
        }
    }
    Compose(report);
    return report;
}

RestartOutcome RunRestartPrompt(ui::UserMessages& user, const DriverHostAsk& ask) {
    const ui::MessageAnswer answer =
        user.ShowMessage({kRestartQuestion, kRestartCaption, ui::MessageIcon::Warning,
                          ui::MessageButtons::YesNo, ui::MessageAnswer::No});
    if (answer != ui::MessageAnswer::Yes) {
        return RestartOutcome::Declined;
    }
    const RestartReport report = RestartDriverHost(ask);
    switch (report.outcome) {
        case RestartOutcome::Failed:
            ui::ShowError(user, report.text, kErrorCaption);
            break;
        case RestartOutcome::NoDriverHost:
            ui::ShowWarning(user, report.text, kRestartCaption);
            break;
        case RestartOutcome::Restarted:
        case RestartOutcome::Declined:
            ui::ShowInformation(user, report.text, kRestartCaption);
            break;
    }
    return report.outcome;
}

DriverHostAsk ControlSocketAsk() {
    return [](const std::string& command) { return wyvel32::host::AskDriverHost(command); };
}

}  // namespace qorval::applet
