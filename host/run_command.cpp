#include "host/run_command.h"

#include <signal.h>

#include <string>

#include "host/bus/simulated_bus.h"
#include "host/driver_loader.h"
#include "host/host_options.h"
#include "host/kernel/io_manager.h"
#include "host/protocol/control_protocol.h"
#include "host/server/control_commands.h"
#include "host/server/control_socket_server.h"
#include "host/server/device_socket_server.h"
#include "platform/event_log.h"
#include "platform/paths.h"
#include "platform/registry.h"

namespace wyvel32::host {

namespace {

// Blocks the stop signals in this thread and every thread it starts, so that only sigwait
// sees them.
sigset_t BlockStopSignals() {
    sigset_t signals;
    sigemptyset(&signals);
    sigaddset(&signals, SIGINT);
    sigaddset(&signals, SIGTERM);
    pthread_sigmask(SIG_BLOCK, &signals, nullptr);
    return signals;
}

}  // namespace

int RunHostCommand(std::span<const std::string_view> args, std::ostream& out, std::ostream& err) {
    qorval::host::BusOptions options;
    if (const std::string problem = ParseHostOptions(args, options); !problem.empty()) {
        err << "wyvel32 run: " << problem << "\n"
            << "usage: wyvel32 run [--ports N] [--wire pair|loopback|open] "
               "[--rate unlimited|line] [--ber P] [--drop P]\n";
        return 2;
    }
    std::string error;
    for (const auto& dir : {qorval::platform::RunDir(), qorval::platform::LogDir()}) {
        if (!qorval::platform::EnsureDirectory(dir, &error)) {
            err << "wyvel32 run: " << error << "\n";
            return 1;
        }
    }
    const sigset_t stop_signals = BlockStopSignals();

    qorval::platform::Registry registry(qorval::platform::RegistryFile());
    qorval::platform::FileEventLog event_log(qorval::platform::LogDir());
    qorval::kernel::IoManager kernel;
    if (const std::string problem = LoadWyvel32(kernel, registry, event_log); !problem.empty()) {
        err << "wyvel32 run: " << problem << "\n";
        return 1;
    }

    qorval::host::DeviceSocketServer sockets(kernel, qorval::platform::RunDir());
    sockets.Start();
    qorval::host::SimulatedBus bus(kernel, options, [&] {
        std::string sync_error;
        if (!sockets.SyncWithLinks(&sync_error)) {
            err << "wyvel32 run: " << sync_error << "\n";
        }
    });
    qorval::host::ControlSocketServer control(
        [&](const std::string& command) { return qorval::host::RunControlCommand(bus, command); });
    const auto control_path =
        qorval::platform::RunDir() / std::string(qorval::protocol::kControlSocketName);
    if (!control.Start(control_path, &error)) {
        err << "wyvel32 run: " << error << "\n";
        sockets.Stop();
        return 1;
    }

    const std::string failures = bus.Boot();
    if (!failures.empty()) {
        err << failures;
    }
    for (const auto& port : bus.List()) {
        out << "port " << port.number << " " << port.state << " "
            << (qorval::platform::RunDir() / port.socket_name).string() << "\n";
    }
    out << "control socket " << control_path.string() << "\n";
    out << "wyvel32: running; stop with Ctrl-C" << std::endl;

    int signal_number = 0;
    sigwait(&stop_signals, &signal_number);
    out << "wyvel32: stopping" << std::endl;

    // Clients first (their handles are cleaned up and closed, which stops the channels), then
    // the devices, then the driver.
    control.Stop();
    sockets.Stop();
    bus.Shutdown();
    kernel.UnloadDriver();
    return 0;
}

}  // namespace wyvel32::host
