#pragma once
// The driver host's control socket: one text command per message, one text answer per
// command (see host/protocol/control_protocol.h). Commands run one at a time on the
// server's thread, so Plug and Play changes never overlap.

#include <atomic>
#include <filesystem>
#include <functional>
#include <string>
#include <thread>

#include "host/server/seqpacket_listener.h"

namespace qorval::host {

class ControlSocketServer {
  public:
    using Handler = std::function<std::string(const std::string& command)>;

    explicit ControlSocketServer(Handler handler);
    ~ControlSocketServer();
    ControlSocketServer(const ControlSocketServer&) = delete;
    ControlSocketServer& operator=(const ControlSocketServer&) = delete;

    [[nodiscard]] bool Start(const std::filesystem::path& socket_path, std::string* error);
    void Stop();

  private:
    void Loop();

    Handler handler_;
    SeqpacketListener listener_;
    int wake_[2] = {-1, -1};
    std::atomic<bool> stopping_{false};
    std::thread thread_;
};

// The longest command the control socket takes.
inline constexpr size_t kMaxControlCommand = 1024;

}  // namespace qorval::host
