#include "portaccess/library/tests/scripted_host.h"

#include <poll.h>
#include <stdlib.h>
#include <sys/socket.h>
#include <sys/un.h>
#include <unistd.h>

#include <cstring>

#include "host/protocol/descriptor_passing.h"

namespace qorval::library::testing {

namespace ring = protocol::ring;

ScriptedHost::ScriptedHost(bool offer_ring) : offer_ring_(offer_ring) {
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
    // The library lists the ports through the status socket, which the group may share.
    control_fd_ = Listen(prefix_ / "run" / "wyvel32.status");
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

size_t ScriptedHost::RingRequests() {
    std::lock_guard lock(mutex_);
    return ring_requests_;
}

void ScriptedHost::StopAnswering() {
    std::lock_guard lock(mutex_);
    silent_ = true;
}

void ScriptedHost::ReplyNextWithGarbage() {
    std::lock_guard lock(mutex_);
    garbage_next_ = true;
}

std::vector<uint8_t> ScriptedHost::Answer(unsigned port, const protocol::Request& request,
                                          protocol::Reply& reply, bool& garbage) {
    std::lock_guard lock(mutex_);
    requests_.push_back(request);
    if (silent_) {
        return {};
    }
    garbage = garbage_next_;
    garbage_next_ = false;
    reply = handler_(port, request);
    return garbage ? std::vector<uint8_t>{1, 2, 3} : protocol::EncodeReply(reply);
}

void ScriptedHost::OnMessage(int fd, Client& client, std::span<const uint8_t> message) {
    if (client.port == 0) {
        ::send(fd, list_reply_.data(), list_reply_.size(), MSG_NOSIGNAL);
        return;
    }
    protocol::Request request;
    if (!protocol::DecodeRequest(message, request).empty()) {
        ::close(fd);
        clients_.erase(fd);
        return;
    }
    protocol::Reply reply;
    bool garbage = false;
    const std::vector<uint8_t> bytes = Answer(client.port, request, reply, garbage);
    if (bytes.empty()) {
        return;
    }
    const bool make_ring = offer_ring_ && !garbage && request.function == protocol::Function::Create &&
                           (request.control_code & protocol::kCreateRing) != 0 && reply.status == 0;
    std::string problem;
    if (make_ring && (client.ring = ring::RingRegion::Create(&problem))) {
        // Always "asleep": every submission writes the wake channel, which the loop polls.
        ring::Store(client.ring->view().header().host_asleep, 1);
        reply.output = ring::EncodeDescription({});
        (void)protocol::SendWithDescriptors(fd, protocol::EncodeReply(reply),
                                            client.ring->ClientDescriptors());
        client.ring->ForgetClientDescriptors();
        return;
    }
    ::send(fd, bytes.data(), bytes.size(), MSG_NOSIGNAL);
}

void ScriptedHost::OnRingWake(Client& client) {
    const ring::RingView view = client.ring->view();
    protocol::DrainWakes(client.ring->host_wake());
    ring::RingRequest taken;
    const char* problem = nullptr;
    while (client.reader.Take(view, taken, &problem) == ring::SubmissionReader::Outcome::Taken) {
        protocol::Request request;
        request.sequence = taken.sequence;
        request.function = taken.function;
        request.control_code = taken.control_code;
        request.output_length = taken.output_length;
        const uint8_t* input = view.data(taken.slot);
        request.input.assign(input, input + taken.input_length);
        protocol::Reply reply;
        bool garbage = false;
        const bool answered = !Answer(client.port, request, reply, garbage).empty();
        {
            std::lock_guard lock(mutex_);
            ++ring_requests_;
        }
        if (!answered) {
            continue;
        }
        if (garbage) {
            taken.sequence += 1;  // an answer that belongs to no request
        }
        if (client.reader.Complete(view, taken, reply.status, reply.information, reply.output)) {
            protocol::Wake(client.ring->slot_wake(taken.slot));
        }
    }
}

void ScriptedHost::Loop() {
    while (!stop_) {
        std::vector<pollfd> fds{{wake_[0], POLLIN, 0}};
        for (auto& [fd, port] : listeners_) {
            fds.push_back({fd, POLLIN, 0});
        }
        std::vector<int> polled;  // connection of each entry after the listeners
        for (auto& [fd, client] : clients_) {
            fds.push_back({fd, POLLIN, 0});
            polled.push_back(fd);
            if (client.ring) {
                fds.push_back({client.ring->host_wake(), POLLIN, 0});
                polled.push_back(fd);
            }
        }
        if (::poll(fds.data(), fds.size(), -1) <= 0) {
            continue;
        }
        for (size_t i = 1; i <= listeners_.size(); ++i) {
            if (fds[i].revents != 0) {
                const int client = ::accept4(fds[i].fd, nullptr, nullptr, SOCK_CLOEXEC);
                if (client >= 0) {
                    clients_[client].port = listeners_[i - 1].second;
                }
            }
        }
        for (size_t i = 0; i < polled.size(); ++i) {
            const pollfd& entry = fds[1 + listeners_.size() + i];
            const auto it = clients_.find(polled[i]);
            if (entry.revents == 0 || it == clients_.end()) {
                continue;
            }
            if (entry.fd != it->first) {
                OnRingWake(it->second);
                continue;
            }
            std::vector<uint8_t> message(protocol::kMaxMessageSize);
            const ssize_t got = ::recv(entry.fd, message.data(), message.size(), 0);
            if (got <= 0) {
                ::close(entry.fd);
                clients_.erase(it);
                continue;
            }
            message.resize(static_cast<size_t>(got));
            OnMessage(entry.fd, it->second, message);
        }
    }
    for (auto& [fd, client] : clients_) {
        ::close(fd);
    }
}

}  // namespace qorval::library::testing
