#pragma once
// Serves the driver's ports to clients: one listening socket under the run folder for each
// symbolic link the driver has created ("\DosDevices\Wyvel32_001" is the socket
// "Wyvel32_001"), one kernel handle per connection.
//
// A connection's first message must be a create request; the handle is opened with the
// create options it asks for and the status goes back in the reply (a failed open also
// closes the connection). Each later message is one read, write or device control request,
// answered when the driver completes it. A malformed message gets an error reply and the
// connection is closed. A connection that ends for any reason is treated like a process that
// died holding the handle: its outstanding requests are cancelled, then the handle is cleaned
// up and closed, so the port can be opened again at once.

#include <atomic>
#include <filesystem>
#include <map>
#include <memory>
#include <mutex>
#include <string>
#include <thread>

#include "host/kernel/io_manager.h"
#include "host/server/seqpacket_listener.h"

namespace qorval::host {

class DeviceSocketServer {
  public:
    DeviceSocketServer(kernel::IoManager& kernel, std::filesystem::path run_dir);
    ~DeviceSocketServer();  // Stop()
    DeviceSocketServer(const DeviceSocketServer&) = delete;
    DeviceSocketServer& operator=(const DeviceSocketServer&) = delete;

    void Start();
    // Closes every connection (each handle cleaned up and closed) and removes the sockets.
    void Stop();
    // Makes the listening sockets match the driver's symbolic links: call after every Plug
    // and Play change. Returns false (with the reason) when a socket could not be made.
    bool SyncWithLinks(std::string* error);
    size_t Connections() const;

  private:
    struct Connection;

    void Loop();
    void Wake();
    void OnListenerReadable(const std::string& link);
    void OnConnectionReadable(const std::shared_ptr<Connection>& connection);
    void Drop(const std::shared_ptr<Connection>& connection);
    void Submit(const std::shared_ptr<Connection>& connection, const std::string& message);

    kernel::IoManager& kernel_;
    const std::filesystem::path run_dir_;

    mutable std::mutex mutex_;  // guards the two maps below
    std::map<std::string, std::unique_ptr<SeqpacketListener>> listeners_;  // by link name
    std::map<int, std::shared_ptr<Connection>> connections_;               // by socket

    int wake_[2] = {-1, -1};
    std::atomic<bool> stopping_{false};
    std::thread thread_;
};

}  // namespace qorval::host
