#include "host/server/device_socket_server.h"

#include <fcntl.h>
#include <poll.h>
#include <unistd.h>

#include <cctype>
#include <cstdlib>
#include <vector>

#include "host/kernel/irp.h"
#include "host/protocol/device_protocol.h"

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

struct DeviceSocketServer::Connection {
    int fd = -1;
    std::string link;
    kernel::IoManager::Handle handle = 0;  // 0 until the create request succeeded
    std::mutex send_lock;                  // replies come from completion callbacks
    bool closed = false;                   // guarded by send_lock

    void Reply(const protocol::Reply& reply) {
        const std::vector<uint8_t> bytes = protocol::EncodeReply(reply);
        std::lock_guard lock(send_lock);
        if (!closed) {
            (void)SendMessage(fd, bytes.data(), bytes.size());
        }
    }
};

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
    std::map<int, std::shared_ptr<Connection>> connections;
    {
        std::lock_guard lock(mutex_);
        connections.swap(connections_);
        listeners_.clear();
    }
    for (auto& [fd, connection] : connections) {
        Drop(connection);
    }
}

size_t DeviceSocketServer::Connections() const {
    std::lock_guard lock(mutex_);
    return connections_.size();
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
        std::vector<std::shared_ptr<Connection>> polled;
        {
            std::lock_guard lock(mutex_);
            for (const auto& [link, listener] : listeners_) {
                fds.push_back({listener->fd(), POLLIN, 0});
                listener_links.push_back(link);
            }
            for (const auto& [fd, connection] : connections_) {
                fds.push_back({fd, POLLIN, 0});
                polled.push_back(connection);
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
        for (size_t i = 0; i < polled.size(); ++i) {
            if (fds[1 + listener_links.size() + i].revents != 0) {
                OnConnectionReadable(polled[i]);
            }
        }
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
    auto connection = std::make_shared<Connection>();
    connection->fd = fd;
    connection->link = link;
    connections_.emplace(fd, std::move(connection));
}

void DeviceSocketServer::Drop(const std::shared_ptr<Connection>& connection) {
    {
        std::lock_guard lock(mutex_);
        connections_.erase(connection->fd);
    }
    if (connection->handle != 0) {
        // As for a process that died: cancel what it left outstanding, then cleanup and close.
        kernel_.CancelIo(connection->handle);
        (void)kernel_.CloseHandle(connection->handle);
    }
    std::lock_guard lock(connection->send_lock);
    connection->closed = true;
    ::close(connection->fd);
}

void DeviceSocketServer::OnConnectionReadable(const std::shared_ptr<Connection>& connection) {
    std::string message;
    if (!ReceiveMessage(connection->fd, message, protocol::kMaxMessageSize)) {
        Drop(connection);
        return;
    }
    Submit(connection, message);
}

void DeviceSocketServer::Submit(const std::shared_ptr<Connection>& connection,
                                const std::string& message) {
    protocol::Request request;
    const auto bytes = std::span(reinterpret_cast<const uint8_t*>(message.data()), message.size());
    const bool well_formed = protocol::DecodeRequest(bytes, request).empty();
    const bool in_turn = well_formed && ((connection->handle == 0) ==
                                         (request.function == protocol::Function::Create));
    if (!in_turn) {
        connection->Reply({request.sequence, wyvel32::STATUS_INVALID_PARAMETER, 0, {}});
        Drop(connection);
        return;
    }
    const uint32_t sequence = request.sequence;
    auto reply = [connection, sequence](kernel::NTSTATUS status, uint64_t information,
                                        std::span<const uint8_t> output) {
        connection->Reply({sequence, status, static_cast<uint32_t>(information),
                           std::vector<uint8_t>(output.begin(), output.end())});
    };
    switch (request.function) {
        case protocol::Function::Create: {
            const uint32_t options = (request.control_code & protocol::kCreateSynchronous) != 0
                                         ? kernel::FILE_SYNCHRONOUS_IO_NONALERT
                                         : 0;
            kernel::IoManager::Handle handle = 0;
            const kernel::NTSTATUS status = kernel_.Open(connection->link, options, &handle);
            connection->Reply({sequence, status, 0, {}});
            if (status != wyvel32::STATUS_SUCCESS) {
                Drop(connection);
                return;
            }
            connection->handle = handle;
            return;
        }
        case protocol::Function::Read:
            kernel_.Read(connection->handle, request.output_length, reply);
            return;
        case protocol::Function::Write:
            kernel_.Write(connection->handle, request.input, reply);
            return;
        case protocol::Function::DeviceControl:
            kernel_.DeviceControl(connection->handle, request.control_code, request.input,
                                  request.output_length, reply);
            return;
    }
}

}  // namespace qorval::host
