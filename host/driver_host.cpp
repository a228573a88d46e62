#include "host/driver_host.h"

#include <iostream>

#include "host/driver_loader.h"
#include "host/protocol/control_protocol.h"
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
    kernel_ = std::make_unique<qorval::kernel::IoManager>();
    if (std::string problem = LoadWyvel32(*kernel_, *registry_, *event_log_); !problem.empty()) {
        return problem;
    }
    sockets_ = std::make_unique<qorval::host::DeviceSocketServer>(*kernel_, platform::RunDir());
    sockets_->Start();
    bus_ = std::make_unique<qorval::host::SimulatedBus>(*kernel_, options_, [this] {
        std::string sync_error;
        if (!sockets_->SyncWithLinks(&sync_error)) {
            std::cerr << "wyvel32: " << sync_error << "\n";
        }
    });
    control_ =
        std::make_unique<qorval::host::ControlSocketServer>([this](const std::string& command) {
            return qorval::host::RunControlCommand(*bus_, command);
        });
    if (!control_->Start(platform::RunDir() / std::string(qorval::protocol::kControlSocketName),
                         &error)) {
        sockets_->Stop();
        return error;
    }
    *warnings = bus_->Boot();
    return {};
}

void DriverHost::Stop() {
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
    control_.reset();
    bus_.reset();
    sockets_.reset();
    kernel_.reset();
}

}  // namespace wyvel32::host
