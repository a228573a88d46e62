#include "applet/driver_restart.h"

#include <cerrno>
#include <string_view>
#include <vector>

#include "applet/text_util.h"
#include "host/control_client_command.h"
#include "host/protocol/control_protocol.h"

namespace qorval::applet {

namespace {

constexpr std::string_view kNoHost = "error: no driver host is running";
constexpr std::string_view kNotAnswered = "error: the driver host did not";
constexpr std::string_view kStatusMark = "status 0x";

// The error number of a failed command: the kernel status the host reports for a device it
// could not stop or start, ETIMEDOUT for a host that did not answer, EIO for anything else.
int ErrorNumber(const std::string& answer) {
    if (const size_t at = answer.find(kStatusMark); at != std::string::npos) {
        uint32_t status = 0;
        if (TryReadHex(std::string_view(answer).substr(at + kStatusMark.size()), status)) {
            return static_cast<int>(status & 0x7FFFFFFFu);
        }
    }
    return answer.starts_with(kNotAnswered) ? ETIMEDOUT : EIO;
}

std::string Reason(const std::string& answer) {
    std::string text = answer.starts_with("error: ") ? answer.substr(7) : answer;
    while (!text.empty() && text.back() == '\n') {
        text.pop_back();
    }
    return text;
}

RestartOutcome Failed(ui::UserMessages& user, const std::string& what, const std::string& answer) {
    ui::ShowError(user,
                  Format("Unable to restart Windows.  ExitWindowsEx Error #%d.",
                         ErrorNumber(answer)) +
                      "\n\n" + what + ": " + Reason(answer),
                  "Error");
    return RestartOutcome::Failed;
}

RestartOutcome RestartPorts(ui::UserMessages& user, const DriverHostAsk& ask) {
    const std::string listing = ask("list");
    if (listing.starts_with(kNoHost)) {
        ui::ShowWarning(user,
                        "No driver host is running, so no port needs restarting.\n"
                        "The new settings take effect when it is started (wyvel32 run).",
                        kRestartCaption);
        return RestartOutcome::NoDriverHost;
    }
    std::vector<protocol::PortListing> ports;
    if (!listing.starts_with("ok")) {
        return Failed(user, "listing the ports", listing);
    }
    if (const std::string bad = protocol::ParsePortList(listing, ports); !bad.empty()) {
        return Failed(user, "listing the ports", "error: " + bad);
    }
    std::string restarted;
    for (const protocol::PortListing& port : ports) {
        if (!port.started()) {
            continue;  // a stopped port reads its settings when it is started
        }
        const std::string number = std::to_string(port.number);
        for (const char* verb : {"stop", "start"}) {
            const std::string answer = ask(std::string(verb) + " " + number);
            if (!answer.starts_with("ok")) {
                return Failed(user, std::string(verb == std::string_view("stop") ? "stopping"
                                                                                 : "starting") +
                                        " port " + number,
                              answer);
            }
        }
        restarted += (restarted.empty() ? "" : ", ") + number;
    }
    ui::ShowInformation(user,
                        restarted.empty()
                            ? std::string("The driver host has no started port; the new settings "
                                          "take effect when a port is started.")
                            : "The driver host restarted port " + restarted +
                                  " with the new settings.",
                        kRestartCaption);
    return RestartOutcome::Restarted;
}

}  // namespace

RestartOutcome RunRestartPrompt(ui::UserMessages& user, const DriverHostAsk& ask) {
    const ui::MessageAnswer answer =
        user.ShowMessage({kRestartQuestion, kRestartCaption, ui::MessageIcon::Warning,
                          ui::MessageButtons::YesNo, ui::MessageAnswer::No});
    if (answer != ui::MessageAnswer::Yes) {
        return RestartOutcome::Declined;
    }
    return RestartPorts(user, ask);
}

DriverHostAsk ControlSocketAsk() {
    return [](const std::string& command) { return wyvel32::host::AskDriverHost(command); };
}

}  // namespace qorval::applet
