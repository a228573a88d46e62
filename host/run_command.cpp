#include "host/run_command.h"

#include <signal.h>

#include <string>

#include "host/driver_host.h"
#include "host/host_options.h"
#include "host/protocol/control_protocol.h"
#include "platform/paths.h"

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
               "[--rate unlimited|line] [--ber P] [--drop P] "
               "[--stream N=unix:PATH|tcp:[ADDR:]PORT]... [--stream-dir DIR]... "
               "[--stream-remote]\n";
        return 2;
    }
    const sigset_t stop_signals = BlockStopSignals();
    DriverHost host(options);
    std::string warnings;
    if (const std::string problem = host.Start(&warnings); !problem.empty()) {
        err << "wyvel32 run: " << problem << "\n";
        return 1;
    }
    err << warnings;
    for (const auto& [port, address] : options.streams) {
        std::string bound;
        if (const std::string problem = host.bus().WireStream(port, address, &bound);
            !problem.empty()) {
            err << "wyvel32 run: --stream " << port << ": " << problem << "\n";
            return 1;
        }
        out << "stream " << port << " " << bound << "\n";
    }
    for (const auto& port : host.bus().List()) {
        out << "port " << port.number << " " << port.state << " "
            << (qorval::platform::RunDir() / port.socket_name).string() << "\n";
    }
    out << "control socket "
        << (qorval::platform::RunDir() / std::string(qorval::protocol::kControlSocketName)).string()
        << "\n";
    out << "status socket "
        << (qorval::platform::RunDir() / std::string(qorval::protocol::kStatusSocketName)).string()
        << "\n";
    out << "wyvel32: running; stop with Ctrl-C" << std::endl;

    int signal_number = 0;
    sigwait(&stop_signals, &signal_number);
    out << "wyvel32: stopping" << std::endl;

    host.Stop();
    return 0;
}

}  // namespace wyvel32::host
