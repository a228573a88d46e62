#pragma once
// Serves the driver's ports to clients: one listening socket under the run folder for each
// symbolic link the driver has created ("\DosDevices\Wyvel32_001" is the socket
// "Wyvel32_001"), one kernel handle per connection, each connection on its own thread
// (ClientConnection), so that ports are served in parallel and a stalled client stalls only
// itself. The server's own thread only accepts connections and collects finished ones.
//
// At start the server removes the device sockets a host that died left behind (those nobody
// listens on), so that a client never finds a socket that nobody serves.
//
// Connections are bounded per user (the peer's credentials), so that one user's idle or greedy
// connections never lock another user out: a user may hold kMaxConnectionsPerUser connections,
// of which at most kMaxAwaitingCreatePerUser have not opened their port yet (each has a few
// seconds to send its create); beyond either bound, and beyond kMaxConnections in all, a new
// connection is closed as soon as it is accepted. When the host has no descriptor left, the
// listeners rest (AcceptBackoff) while the connections already made go on being served.

#include <sys/types.h>

#include <atomic>
#include <filesystem>
#include <map>
#include <memory>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "host/server/accept_backoff.h"
#include "host/server/client_connection.h"
#include "host/server/seqpacket_listener.h"
#include "kernel/io_manager.h"

namespace qorval::host {

class DeviceSocketServer final : private ConnectionDirectory {
  public:
    // Connections served at once; one more is closed as soon as it is accepted.
    static constexpr size_t kMaxConnections = 128;
    // One user's share: every port once, and a few more still sending their create.
    static constexpr size_t kMaxConnectionsPerUser = 40;
    static constexpr size_t kMaxAwaitingCreatePerUser = 8;

    DeviceSocketServer(kernel::IoManager& kernel, std::filesystem::path run_dir);
    ~DeviceSocketServer() override;  // Stop()
    DeviceSocketServer(const DeviceSocketServer&) = delete;
    DeviceSocketServer& operator=(const DeviceSocketServer&) = delete;

    void Start();
    // Closes every connection (each handle cleaned up and closed) and removes the sockets.
    void Stop();
    // Makes the listening sockets match the driver's symbolic links: call after every Plug
    // and Play change. Returns false (with the reason) when a socket could not be made.
    bool SyncWithLinks(std::string* error);
    // Connections whose handle is not closed yet.
    size_t Connections() const;

  private:
    void Loop();
    void Wake();
    struct Served {
        std::shared_ptr<ClientConnection> connection;
        uid_t uid = 0;  // the peer's user
    };
    void OnListenerReadable(const std::string& link);
    // Whether one more connection of `uid` fits its user's share and the whole; holding mutex_.
    bool Admits(uid_t uid) const;
    void CollectFinished();

    void AwaitDepartedClients(const std::string& link, const ClientConnection* asking) override;
    void ConnectionFinished() override { Wake(); }

    kernel::IoManager& kernel_;
    const std::filesystem::path run_dir_;

    mutable std::mutex mutex_;  // guards the two members below
    std::map<std::string, std::unique_ptr<SeqpacketListener>> listeners_;  // by link name
    std::vector<Served> connections_;

    AcceptBackoff backoff_;  // the server's thread only
    int wake_[2] = {-1, -1};
    std::atomic<bool> stopping_{false};
    std::thread thread_;
};

}  // namespace qorval::host
