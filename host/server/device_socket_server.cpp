#include "host/server/device_socket_server.h"

#include <fcntl.h>
#include <poll.h>
#include <unistd.h>

#include <algorithm>
#include <cctype>
#include <cstdlib>

#include "host/protocol/control_protocol.h"

namespace qorval::host {

namespace {

constexpr std::string_view kLinkPrefix = "\\DOSDEVICES\\";

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
    std::vector<std::shared_ptr<ClientConnection>> connections;
    {
        std::lock_guard lock(mutex_);
        connections.swap(connections_);
        listeners_.clear();
    }
    for (const auto& connection : connections) {
        connection->RequestStop();
    }
    for (const auto& connection : connections) {
        connection->Join();
    }
}

size_t DeviceSocketServer::Connections() const {
    std::lock_guard lock(mutex_);
    return static_cast<size_t>(std::count_if(connections_.begin(), connections_.end(),
                                              [](const auto& c) { return !c->Finished(); }));
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
        {
            std::lock_guard lock(mutex_);
            for (const auto& [link, listener] : listeners_) {
                fds.push_back({listener->fd(), POLLIN, 0});
                listener_links.push_back(link);
            }
        }
        if (::poll(fds.data(), fds.size(), -1) < 0) {
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

void DeviceSocketServer::OnListenerReadable(const std::string& link) {
    std::lock_guard lock(mutex_);
    const auto it = listeners_.find(link);
    if (it == listeners_.end()) {
        return;
    }
    const int fd = it->second->Accept();
    if (fd < 0) {
        return;
    }
    if (connections_.size() >= kMaxConnections) {
        ::close(fd);  // the client sees its connection end before any answer
        return;
    }
    ConnectionDirectory& directory = *this;
    auto connection = std::make_shared<ClientConnection>(kernel_, fd, link, directory);
    connection->Start();
    connections_.push_back(std::move(connection));
}

void DeviceSocketServer::CollectFinished() {
    std::vector<std::shared_ptr<ClientConnection>> finished;
    {
        std::lock_guard lock(mutex_);
        const auto done = std::stable_partition(connections_.begin(), connections_.end(),
                                                [](const auto& c) { return !c->Finished(); });
        finished.assign(done, connections_.end());
        connections_.erase(done, connections_.end());
    }
    for (const auto& connection : finished) {
        connection->Join();
    }
}

void DeviceSocketServer::AwaitDepartedClients(const std::string& link,
                                              const ClientConnection* asking) {
    constexpr auto kBound = std::chrono::seconds(5);
    std::vector<std::shared_ptr<ClientConnection>> departed;
    {
        std::lock_guard lock(mutex_);
        for (const auto& connection : connections_) {
            if (connection.get() != asking && connection->link() == link &&
                connection->ClientHungUp()) {
                departed.push_back(connection);
            }
        }
    }
    for (const auto& connection : departed) {
        (void)connection->AwaitFinished(kBound);
    }
}

}  // namespace qorval::host
