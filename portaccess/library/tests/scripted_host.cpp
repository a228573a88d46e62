#include "portaccess/library/tests/scripted_host.h"

#include <poll.h>
#include <stdlib.h>
#include <sys/socket.h>
#include <sys/un.h>
#include <unistd.h>

#include <cstring>
#include <map>

namespace qorval::library::testing {

ScriptedHost::ScriptedHost() {
    char pattern[] = "/tmp/qorval-lib-XXXXXX";
    prefix_ = ::mkdtemp(pattern);
    std::filesystem::create_directories(prefix_ / "run");
    ::setenv("QORVAL_PREFIX", prefix_.c_str(), 1);
    if (::pipe(wake_) != 0) {
        std::abort();
    }
    handler_ = [](unsigned, const protocol::Request& request) {
        return protocol::Reply{request.sequence, 0, 0, {}};
    };
}

ScriptedHost::~ScriptedHost() {
    stop_ = true;
    const char byte = 0;
    (void)::write(wake_[1], &byte, 1);
    if (thread_.joinable()) {
        thread_.join();
    }
    if (control_fd_ >= 0) {
        ::close(control_fd_);
    }
    for (auto& [fd, port] : listeners_) {
        ::close(fd);
    }
    ::close(wake_[0]);
    ::close(wake_[1]);
    std::filesystem::remove_all(prefix_);
}

int ScriptedHost::Listen(const std::filesystem::path& path) {
    const int fd = ::socket(AF_UNIX, SOCK_SEQPACKET | SOCK_CLOEXEC, 0);
    sockaddr_un address{};
    address.sun_family = AF_UNIX;
    std::strncpy(address.sun_path, path.c_str(), sizeof(address.sun_path) - 1);
    if (fd < 0 || ::bind(fd, reinterpret_cast<sockaddr*>(&address), sizeof(address)) != 0 ||
        ::listen(fd, 8) != 0) {
        std::abort();
    }
    return fd;
}

void ScriptedHost::ServeControl(std::string list_reply) {
    list_reply_ = std::move(list_reply);
    control_fd_ = Listen(prefix_ / "run" / "wyvel32.control");
    listeners_.emplace_back(control_fd_, 0);
}

void ScriptedHost::ServeDevice(unsigned port) {
    listeners_.emplace_back(Listen(prefix_ / "run" / ("Wyvel32_00" + std::to_string(port))), port);
}

void ScriptedHost::Start() {
    thread_ = std::thread([this] { Loop(); });
}

void ScriptedHost::SetHandler(DeviceHandler handler) {
    std::lock_guard lock(mutex_);
    handler_ = std::move(handler);
}

std::vector<protocol::Request> ScriptedHost::Requests() {
    std::lock_guard lock(mutex_);
    return requests_;
}

void ScriptedHost::ReplyNextWithGarbage() {
    std::lock_guard lock(mutex_);
    garbage_next_ = true;
}

void ScriptedHost::Loop() {
    std::map<int, unsigned> clients;  // connection fd -> port (0: control)
    while (!stop_) {
        std::vector<pollfd> fds{{wake_[0], POLLIN, 0}};
        for (auto& [fd, port] : listeners_) {
            fds.push_back({fd, POLLIN, 0});
        }
        for (auto& [fd, port] : clients) {
            fds.push_back({fd, POLLIN, 0});
        }
        if (::poll(fds.data(), fds.size(), -1) <= 0) {
            continue;
        }
        for (size_t i = 1; i < fds.size(); ++i) {
            if (fds[i].revents == 0) {
                continue;
            }
            const int fd = fds[i].fd;
            if (i <= listeners_.size()) {
                const int client = ::accept4(fd, nullptr, nullptr, SOCK_CLOEXEC);
                if (client >= 0) {
                    clients[client] = listeners_[i - 1].second;
                }
                continue;
            }
            std::vector<uint8_t> message(protocol::kMaxMessageSize);
            const ssize_t got = ::recv(fd, message.data(), message.size(), 0);
            if (got <= 0) {
                ::close(fd);
                clients.erase(fd);
                continue;
            }
            message.resize(static_cast<size_t>(got));
            const unsigned port = clients[fd];
            if (port == 0) {
                ::send(fd, list_reply_.data(), list_reply_.size(), MSG_NOSIGNAL);
                continue;
            }
            protocol::Request request;
            if (!protocol::DecodeRequest(message, request).empty()) {
                ::close(fd);
                clients.erase(fd);
                continue;
            }
            std::vector<uint8_t> reply;
            {
                std::lock_guard lock(mutex_);
                requests_.push_back(request);
                reply = garbage_next_ ? std::vector<uint8_t>{1, 2, 3}
                                      : protocol::EncodeReply(handler_(port, request));
                garbage_next_ = false;
            }
            ::send(fd, reply.data(), reply.size(), MSG_NOSIGNAL);
        }
    }
    for (auto& [fd, port] : clients) {
        ::close(fd);
    }
}

}  // namespace qorval::library::testing
