#pragma once
// A stand-in for the driver host in library tests: it listens on the control socket and on
// device sockets of a fresh prefix and answers every request through a test's handler.

#include <atomic>
#include <filesystem>
#include <functional>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "host/protocol/device_protocol.h"

namespace qorval::library::testing {

class ScriptedHost {
  public:
    using DeviceHandler = std::function<protocol::Reply(unsigned port, const protocol::Request&)>;

    // Makes a fresh prefix and points QORVAL_PREFIX at it.
    ScriptedHost();
    ~ScriptedHost();

    void ServeControl(std::string list_reply);
    void ServeDevice(unsigned port);
    // Starts answering; call after the Serve* calls.
    void Start();
    void SetHandler(DeviceHandler handler);
    // Requests seen so far, in order.
    std::vector<protocol::Request> Requests();
    // Sends raw bytes instead of the next reply (a garbled host).
    void ReplyNextWithGarbage();
    const std::filesystem::path& prefix() const { return prefix_; }

  private:
    void Loop();
    int Listen(const std::filesystem::path& path);

    std::filesystem::path prefix_;
    std::mutex mutex_;
    DeviceHandler handler_;
    std::vector<protocol::Request> requests_;
    std::string list_reply_;
    bool garbage_next_ = false;
    int control_fd_ = -1;
    std::vector<std::pair<int, unsigned>> listeners_;  // fd, port
    std::atomic<bool> stop_{false};
    int wake_[2] = {-1, -1};
    std::thread thread_;
};

}  // namespace qorval::library::testing
