#include "host/server/control_socket_server.h"

#include <fcntl.h>
#include <poll.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>

#include "host/server/peer_credentials.h"

namespace qorval::host {
namespace {

constexpr int kAcceptsPerWake = 32;

}  // namespace

std::string ControlRefusal(uid_t owner) {
    return "error: permission denied: only the driver host's own user (uid " +
           std::to_string(owner) + ") may command it; `wyvel32 status` shows the ports\n";
}

ControlSocketServer::ControlSocketServer(Handler handler, Door door)
    : handler_(std::move(handler)),
      door_(door),
      owner_(::geteuid()),
      share_(door.per_user, door.in_all) {
    if (::pipe2(wake_, O_CLOEXEC | O_NONBLOCK) != 0) {
        std::abort();  // no descriptors left at start-up: nothing sensible to do
    }
}

ControlSocketServer::~ControlSocketServer() {
    Stop();
    ::close(wake_[0]);
    ::close(wake_[1]);
}

bool ControlSocketServer::Start(const std::filesystem::path& socket_path, std::string* error) {
    if (!listener_.Listen(socket_path, error, door_.mode)) {
        return false;
    }
    stopping_ = false;
    thread_ = std::thread([this] { Loop(); });
    return true;
}

void ControlSocketServer::Stop() {
    stopping_ = true;
    const char byte = 0;
    (void)::write(wake_[1], &byte, 1);
    if (thread_.joinable()) {
        thread_.join();
    }
    listener_.Close();
}

bool ControlSocketServer::AcceptOne() {
    int error = 0;
    const int fd = listener_.Accept(&error);
    if (fd < 0) {
        (void)backoff_.Failed(error);
        return false;
    }
    backoff_.Succeeded();
    const auto peer = PeerCredentialsOf(fd);
    if (!peer) {
        ::close(fd);
        return true;
    }
    std::vector<uid_t> held;
    for (const Client& client : clients_) {
        held.push_back(client.uid);
    }
    const FairShare::Decision decision = share_.Admit(peer->uid, held);
    if (decision.evict) {
        ::close(clients_[*decision.evict].fd);
        clients_.erase(clients_.begin() + static_cast<std::ptrdiff_t>(*decision.evict));
    }
    if (!decision.admit) {
        ::close(fd);
        return true;
    }
    clients_.push_back({fd, peer->uid, door_.owner_only && peer->uid != owner_});
    return true;
}

bool ControlSocketServer::Serve(const Client& client) {
    uint8_t command[kMaxControlCommand];
    size_t size = 0;
    const Received received = ReceiveMessage(client.fd, command, size);
    if (received == Received::Nothing) {
        return true;
    }
    if (received != Received::Message) {
        return false;
    }
    const std::string answer =
        client.refused ? ControlRefusal(owner_)
                       : handler_(std::string(reinterpret_cast<const char*>(command), size));
    // The answer goes without waiting: a client that does not read its answers is dropped
    // rather than allowed to stall the commands of everyone else.
    return SendMessage(client.fd, answer.data(), answer.size()) && !client.refused;
}

void ControlSocketServer::Loop() {
    while (!stopping_) {
        const bool resting = backoff_.Resting();
        std::vector<pollfd> fds{{wake_[0], POLLIN, 0}, {resting ? -1 : listener_.fd(), POLLIN, 0}};
        for (const Client& client : clients_) {
            fds.push_back({client.fd, POLLIN, 0});
        }
        if (::poll(fds.data(), fds.size(), backoff_.RestLeftMs()) < 0) {
            continue;
        }
        // Answer first, so a client evicted below for a newcomer has had its turn.
        std::vector<Client> still_open;
        for (size_t i = 2; i < fds.size(); ++i) {
            const Client& client = clients_[i - 2];
            if (fds[i].revents == 0 || Serve(client)) {
                still_open.push_back(client);
            } else {
                ::close(client.fd);
            }
        }
        clients_.swap(still_open);
        // Several per wake, so that a flood of connections drains quickly.
        for (int round = 0; fds[1].revents != 0 && round < kAcceptsPerWake && AcceptOne();
             ++round) {
        }
    }
    for (const Client& client : clients_) {
        ::close(client.fd);
    }
    clients_.clear();
}

}  // namespace qorval::host
