#pragma once
// The driver host as one object: the kernel model with the driver loaded, the simulated bus
// with its cards and lines, the device sockets and the control socket, all under the prefix's
// run folder. `wyvel32 run` makes one; tests make one in-process.

#include <memory>
#include <string>

#include "host/bus/simulated_bus.h"
#include "host/command_events.h"
#include "host/server/control_socket_server.h"
#include "host/server/device_socket_server.h"
#include "kernel/io_manager.h"
#include "platform/event_log.h"
#include "platform/registry.h"

namespace wyvel32::host {

class DriverHost {
  public:
    // Takes the prefix from the environment (QORVAL_PREFIX) as it is when Start is called.
    explicit DriverHost(qorval::host::BusOptions options);
    ~DriverHost();  // Stop()
    DriverHost(const DriverHost&) = delete;
    DriverHost& operator=(const DriverHost&) = delete;

    // Loads the driver, opens the sockets and boots the bus. Returns an empty string on
    // success; ports that failed to start are reported through `warnings` (with the reason
    // when the registry file was the cause, which also goes to the event log), and so are a
    // prefix open to every user and a disabled driver, whose ports are not started; the host
    // still runs.
    [[nodiscard]] std::string Start(std::string* warnings);
    // Clients first (their handles are cleaned up and closed, which stops the channels), then
    // the devices, then the driver.
    void Stop();

    qorval::host::SimulatedBus& bus() { return *bus_; }
    qorval::kernel::IoManager& kernel() { return *kernel_; }
    // Where the driver's events went (the file under the prefix's log folder).
    qorval::platform::EventLogSink& event_log() { return *event_log_; }

  private:
    size_t LargestReceiveFrame(unsigned port);
    // Runs one control command; a failure carries the reason the registry file caused and the
    // error events the driver logged meanwhile.
    std::string AnswerControlCommand(const std::string& command);
    // The status socket's answer: a command that only reads, or why not.
    std::string AnswerStatusCommand(const std::string& command);

    qorval::host::BusOptions options_;
    std::unique_ptr<qorval::platform::Registry> registry_;
    std::unique_ptr<qorval::platform::FileEventLog> event_log_;
    std::unique_ptr<CommandEventLog> command_events_;  // what the driver logs goes through it
    std::unique_ptr<qorval::kernel::IoManager> kernel_;
    std::unique_ptr<qorval::host::DeviceSocketServer> sockets_;
    std::unique_ptr<qorval::host::SimulatedBus> bus_;
    std::unique_ptr<qorval::host::ControlSocketServer> control_;  // the owner's alone
    std::unique_ptr<qorval::host::ControlSocketServer> status_;   // shared: lists only
};

}  // namespace wyvel32::host
