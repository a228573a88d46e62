#pragma once
// A stand-in for the driver host in library tests: it listens on the control socket and on
// device sockets of a fresh prefix and answers every request through a test's handler. With
// `offer_ring` it hands a request ring to a create that asks for one and takes the later
// requests from the ring, as the driver host does; without, requests come as messages.

#include <atomic>
#include <filesystem>
#include <functional>
#include <map>
#include <memory>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "host/protocol/device_protocol.h"
#include "host/protocol/ring_region.h"
#include "host/protocol/submission_reader.h"

namespace qorval::library::testing {

class ScriptedHost {
  public:
    using DeviceHandler = std::function<protocol::Reply(unsigned port, const protocol::Request&)>;

    // Makes a fresh prefix and points QORVAL_PREFIX at it.
    explicit ScriptedHost(bool offer_ring = false);
    ~ScriptedHost();

    // Answers "list" with `list_reply` on the status socket, as a host does.
    void ServeControl(std::string list_reply);
    void ServeDevice(unsigned port);
    // Starts answering; call after the Serve* calls.
    void Start();
    void SetHandler(DeviceHandler handler);
    // Requests seen so far, in order, and how many of them came on a request ring.
    std::vector<protocol::Request> Requests();
    size_t RingRequests();
    // Sends raw bytes instead of the next reply (a garbled host).
    void ReplyNextWithGarbage();
    // Takes requests from here on but answers none (a host that hangs).
    void StopAnswering();
    const std::filesystem::path& prefix() const { return prefix_; }

  private:
    struct Client {
        unsigned port = 0;  // 0: the control socket
        std::unique_ptr<protocol::ring::RingRegion> ring;
        protocol::ring::SubmissionReader reader;
    };

    void Loop();
    int Listen(const std::filesystem::path& path);
    // The reply to one request, as the handler (or a garbling test) gives it.
    // Empty when the host keeps silent.
    std::vector<uint8_t> Answer(unsigned port, const protocol::Request& request,
                                protocol::Reply& reply, bool& garbage);
    void OnMessage(int fd, Client& client, std::span<const uint8_t> message);
    void OnRingWake(Client& client);

    std::filesystem::path prefix_;
    std::mutex mutex_;
    DeviceHandler handler_;
    std::vector<protocol::Request> requests_;
    size_t ring_requests_ = 0;
    std::string list_reply_;
    bool garbage_next_ = false;
    bool silent_ = false;
    int control_fd_ = -1;
    std::vector<std::pair<int, unsigned>> listeners_;  // fd, port
    std::map<int, Client> clients_;                    // by connection; the loop's own
    const bool offer_ring_;
    std::atomic<bool> stop_{false};
    int wake_[2] = {-1, -1};
    std::thread thread_;
};

}  // namespace qorval::library::testing
