#include "host/server/device_socket_server.h"

#include <fcntl.h>
#include <poll.h>
#include <unistd.h>

#include <algorithm>
#include <cctype>
#include <cstdlib>

#include "host/protocol/control_protocol.h"
#include "host/server/peer_credentials.h"

namespace qorval::host {

namespace {

constexpr std::string_view kLinkPrefix = "\\DOSDEVICES\\";
constexpr int kAcceptsPerWake = 32;

// "\DosDevices\Wyvel32_001" → "Wyvel32_001"; empty for links outside the DOS name space or
// with names that are no safe file name.
std::string SocketNameOf(const std::string& link) {
    if (link.size() <= kLinkPrefix.size()) {
        return {};
    }
    for (size_t i = 0; i < kLinkPrefix.size(); ++i) {
        if (std::toupper(static_cast<unsigned char>(link[i])) != kLinkPrefix[i]) {
            return {};
        }
    }
    const std::string name = link.substr(kLinkPrefix.size());
    for (const char c : name) {
        if (!std::isalnum(static_cast<unsigned char>(c)) && c != '_') {
            return {};
        }
    }
    return name;
}

}  // namespace

DeviceSocketServer::DeviceSocketServer(kernel::IoManager& kernel, std::filesystem::path run_dir)
    : kernel_(kernel), run_dir_(std::move(run_dir)) {
    if (::pipe2(wake_, O_CLOEXEC | O_NONBLOCK) != 0) {
        std::abort();  // no descriptors left at start-up: nothing sensible to do
    }
}

DeviceSocketServer::~DeviceSocketServer() {
    Stop();
    ::close(wake_[0]);
    ::close(wake_[1]);
}

void DeviceSocketServer::Start() {
    RemoveStaleSockets(run_dir_, protocol::kDeviceSocketPrefix);
    stopping_ = false;
    thread_ = std::thread([this] { Loop(); });
}

void DeviceSocketServer::Wake() {
    const char byte = 0;
    (void)::write(wake_[1], &byte, 1);
}

void DeviceSocketServer::Stop() {
    stopping_ = true;
    Wake();
    if (thread_.joinable()) {
        thread_.join();
    }
    std::vector<Served> connections;
    {
        std::lock_guard lock(mutex_);
        connections.swap(connections_);
        listeners_.clear();
    }
    for (const Served& served : connections) {
        served.connection->RequestStop();
    }
    for (const Served& served : connections) {
        served.connection->Join();
    }
}

size_t DeviceSocketServer::Connections() const {
    std::lock_guard lock(mutex_);
    return static_cast<size_t>(
        std::count_if(connections_.begin(), connections_.end(),
                      [](const Served& served) { return !served.connection->Finished(); }));
}

bool DeviceSocketServer::SyncWithLinks(std::string* error) {
    std::map<std::string, std::string> wanted;  // link -> socket name
    for (const auto& [link, target] : kernel_.SymbolicLinks()) {
        const std::string name = SocketNameOf(link);
        if (!name.empty()) {
            wanted.emplace(link, name);
        }
    }
    bool ok = true;
    {
        std::lock_guard lock(mutex_);
        for (auto it = listeners_.begin(); it != listeners_.end();) {
            it = wanted.count(it->first) ? std::next(it) : listeners_.erase(it);
        }
        for (const auto& [link, name] : wanted) {
            if (listeners_.count(link) != 0) {
                continue;
            }
            auto listener = std::make_unique<SeqpacketListener>();
            if (!listener->Listen(run_dir_ / name, error)) {
                ok = false;
                continue;
            }
            listeners_.emplace(link, std::move(listener));
        }
    }
    Wake();
    return ok;
}

void DeviceSocketServer::Loop() {
    while (!stopping_) {
        std::vector<pollfd> fds{{wake_[0], POLLIN, 0}};
        std::vector<std::string> listener_links;
        const bool resting = backoff_.Resting();
        {
            std::lock_guard lock(mutex_);
            for (const auto& [link, listener] : listeners_) {
                fds.push_back({resting ? -1 : listener->fd(), POLLIN, 0});
                listener_links.push_back(link);
            }
        }
        if (::poll(fds.data(), fds.size(), backoff_.RestLeftMs()) < 0) {
            continue;
        }
        if (fds[0].revents != 0) {
            char drain[64];
            while (::read(wake_[0], drain, sizeof(drain)) > 0) {
            }
        }
        for (size_t i = 0; i < listener_links.size(); ++i) {
            if (fds[1 + i].revents != 0) {
                OnListenerReadable(listener_links[i]);
            }
        }
        CollectFinished();
    }
}

bool DeviceSocketServer::Admits(uid_t uid) const {
    size_t of_user = 0;
    size_t awaiting_create = 0;
    for (const Served& served : connections_) {
        if (served.uid == uid && !served.connection->Finished()) {
            ++of_user;
            awaiting_create += served.connection->Opened() ? 0 : 1;
        }
    }
    return connections_.size() < kMaxConnections && of_user < kMaxConnectionsPerUser &&
           awaiting_create < kMaxAwaitingCreatePerUser;
}

void DeviceSocketServer::OnListenerReadable(const std::string& link) {
    std::lock_guard lock(mutex_);
    const auto it = listeners_.find(link);
    if (it == listeners_.end()) {
        return;
    }
    // Several per wake, so that a flood of connections the host closes at once drains quickly;
    // bounded, so that the other ports' listeners get their turn.
    for (int round = 0; round < kAcceptsPerWake; ++round) {
        int error = 0;
        const int fd = it->second->Accept(&error);
        if (fd < 0) {
            (void)backoff_.Failed(error);
            return;
        }
        backoff_.Succeeded();
        const auto peer = PeerCredentialsOf(fd);
        if (!peer || !Admits(peer->uid)) {
            ::close(fd);  // the client sees its connection end before any answer
            continue;
        }
        ConnectionDirectory& directory = *this;
        auto connection = std::make_shared<ClientConnection>(kernel_, fd, link, directory);
        if (!connection->Start()) {
            continue;  // no descriptor or thread for it: it closes with the object
        }
        connections_.push_back({std::move(connection), peer->uid});
    }
}

void DeviceSocketServer::CollectFinished() {
    std::vector<Served> finished;
    {
        std::lock_guard lock(mutex_);
        const auto done = std::stable_partition(
            connections_.begin(), connections_.end(),
            [](const Served& served) { return !served.connection->Finished(); });
        finished.assign(done, connections_.end());
        connections_.erase(done, connections_.end());
    }
    for (const Served& served : finished) {
        served.connection->Join();
    }
}

void DeviceSocketServer::AwaitDepartedClients(const std::string& link,
                                              const ClientConnection* asking) {
    constexpr auto kBound = std::chrono::seconds(5);
    std::vector<std::shared_ptr<ClientConnection>> departed;
    {
        std::lock_guard lock(mutex_);
        for (const Served& served : connections_) {
            if (served.connection.get() != asking && served.connection->link() == link &&
                served.connection->ClientHungUp()) {
                departed.push_back(served.connection);
            }
        }
    }
    for (const auto& connection : departed) {
        (void)connection->AwaitFinished(kBound);
    }
}

}  // namespace qorval::host
