#include "host/driver_host.h"

#include <iostream>

#include "driver/driver_context.h"
#include "driver/registry_values.h"
#include "host/bus/stream_token.h"
#include "host/driver_loader.h"
#include "host/driver_service.h"
#include "host/prefix_check.h"
#include "host/protocol/control_protocol.h"
#include "host/registry_failure_report.h"
#include "host/server/control_commands.h"
#include "platform/paths.h"

namespace wyvel32::host {

DriverHost::DriverHost(qorval::host::BusOptions options) : options_(options) {}

DriverHost::~DriverHost() {
    Stop();
}

std::string DriverHost::Start(std::string* warnings) {
    namespace platform = qorval::platform;
    std::string error;
    for (const auto& dir : {platform::RunDir(), platform::LogDir()}) {
        if (!platform::EnsureDirectory(dir, &error)) {
            return error;
        }
    }
    registry_ = std::make_unique<platform::Registry>(platform::RegistryFile());
    event_log_ = std::make_unique<platform::FileEventLog>(platform::LogDir());
    command_events_ = std::make_unique<CommandEventLog>(*event_log_);
    *warnings = PrefixExposureWarning(platform::Prefix());
    if (const std::string problem = InstallDriverService(*registry_); !problem.empty()) {
        *warnings += "wyvel32: " + problem + "\n";
    }
    kernel_ = std::make_unique<qorval::kernel::IoManager>();
    if (std::string problem = LoadWyvel32(*kernel_, *registry_, *command_events_);
        !problem.empty()) {
        return problem;
    }
    sockets_ = std::make_unique<qorval::host::DeviceSocketServer>(*kernel_, platform::RunDir());
    sockets_->Start();
    options_.largest_receive_frame = [this](unsigned port) { return LargestReceiveFrame(port); };
    options_.start_refusal = [this] { return DriverStartRefusal(*registry_); };
    options_.stream_policy.prefix = platform::Prefix();
    options_.stream_policy.run_dir = platform::RunDir();
    options_.stream_token_file =
        platform::RunDir() / std::string(qorval::host::kStreamTokenFileName);
    bus_ = std::make_unique<qorval::host::SimulatedBus>(*kernel_, options_, [this] {
        std::string sync_error;
        if (!sockets_->SyncWithLinks(&sync_error)) {
            std::cerr << "wyvel32: " << sync_error << "\n";
        }
    });
    using Door = qorval::host::ControlSocketServer::Door;
    control_ = std::make_unique<qorval::host::ControlSocketServer>(
        [this](const std::string& command) { return AnswerControlCommand(command); },
        Door{.mode = 0600, .owner_only = true, .per_user = 4, .in_all = 4});
    status_ = std::make_unique<qorval::host::ControlSocketServer>(
        [this](const std::string& command) { return AnswerStatusCommand(command); },
        Door{.mode = 0660, .owner_only = false, .per_user = 4, .in_all = 32});
    if (!control_->Start(platform::RunDir() / std::string(qorval::protocol::kControlSocketName),
                         &error) ||
        !status_->Start(platform::RunDir() / std::string(qorval::protocol::kStatusSocketName),
                        &error)) {
        control_->Stop();
        sockets_->Stop();
        return error;
    }
    (void)registry_->TakeFileFailure();  // a failure before the boot stopped no port
    if (const std::string refusal = DriverStartRefusal(*registry_); !refusal.empty()) {
        *warnings += "wyvel32: " + refusal + "; its ports are not started\n";
    }
    if (const std::string failures = bus_->Boot(); !failures.empty()) {
        *warnings += failures;
        if (const std::string reason = ReportRegistryFailure(*registry_, *event_log_);
            !reason.empty()) {
            *warnings += "wyvel32: " + reason + "\n";
        }
    }
    return {};
}

std::string DriverHost::AnswerControlCommand(const std::string& command) {
    (void)registry_->TakeFileFailure();  // only what this command meets counts
    const CommandEventLog::Capture events;
    std::string answer = qorval::host::RunControlCommand(*bus_, command);
    if (answer.rfind("error", 0) != 0) {
        return answer;
    }
    answer.insert(answer.find_last_not_of('\n') + 1, DescribeErrorEvents(events.Entries()));
    if (const std::string reason = ReportRegistryFailure(*registry_, *event_log_);
        !reason.empty()) {
        std::cerr << "wyvel32: " << reason << "\n";
        answer.insert(answer.find_last_not_of('\n') + 1, " (" + reason + ")");
    }
    return answer;
}

std::string DriverHost::AnswerStatusCommand(const std::string& command) {
    if (!qorval::host::IsReadOnlyCommand(command)) {
        return "error: this socket only answers list and status; the driver host's own user "
               "commands it through " +
               std::string(qorval::protocol::kControlSocketName) + "\n";
    }
    return qorval::host::RunControlCommand(*bus_, command);
}

size_t DriverHost::LargestReceiveFrame(unsigned port) {
    // A receive buffer of RxBuffSize bytes holds the frame and its check, so the largest frame
    // a peer may send is RxBuffSize less the check bytes of CrcUsed (1 CRC-32, 2 CRC-16, else
    // none). Missing values are the driver's defaults.
    constexpr uint32_t kDefaultRxBuffSize = 1024;
    constexpr uint32_t kDefaultCrcUsed = 1;
    constexpr uint32_t kMaxPortNumber = 255;
    uint32_t size = kDefaultRxBuffSize;
    uint32_t crc_used = kDefaultCrcUsed;
    if (port >= 1 && port <= kMaxPortNumber) {
        const std::string key =
            wyvel32::PortKeyPath(wyvel32::kServiceKeyPath, static_cast<uint8_t>(port));
        if (!registry_->QueryDword(key, "RxBuffSize", size).ok()) {
            size = kDefaultRxBuffSize;
        }
        if (!registry_->QueryDword(key, "CrcUsed", crc_used).ok()) {
            crc_used = kDefaultCrcUsed;
        }
    }
    const uint32_t check = crc_used == 1 ? 4 : crc_used == 2 ? 2 : 0;
    return size > check ? size - check : 1;
}

void DriverHost::Stop() {
    if (status_) {
        status_->Stop();
    }
    if (control_) {
        control_->Stop();
    }
    if (sockets_) {
        sockets_->Stop();
    }
    if (bus_) {
        bus_->Shutdown();
    }
    if (kernel_) {
        kernel_->UnloadDriver();
    }
    status_.reset();
    control_.reset();
    bus_.reset();
    sockets_.reset();
    kernel_.reset();
    command_events_.reset();
}

}  // namespace wyvel32::host
