#include "host/server/control_socket_server.h"

#include <fcntl.h>
#include <poll.h>
#include <unistd.h>

#include <cstdlib>
#include <map>
#include <vector>

namespace qorval::host {

ControlSocketServer::ControlSocketServer(Handler handler) : handler_(std::move(handler)) {
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
    if (!listener_.Listen(socket_path, error)) {
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

void ControlSocketServer::Loop() {
    std::vector<int> clients;
    while (!stopping_) {
        std::vector<pollfd> fds{{wake_[0], POLLIN, 0}, {listener_.fd(), POLLIN, 0}};
        for (const int fd : clients) {
            fds.push_back({fd, POLLIN, 0});
        }
        if (::poll(fds.data(), fds.size(), -1) < 0) {
            continue;
        }
        std::vector<int> still_open;
        if (fds[1].revents != 0) {
            const int fd = listener_.Accept();
            if (fd >= 0) {
                still_open.push_back(fd);
            }
        }
        for (size_t i = 2; i < fds.size(); ++i) {
            const int fd = fds[i].fd;
            if (fds[i].revents == 0) {
                still_open.push_back(fd);
                continue;
            }
            uint8_t command[kMaxControlCommand];
            size_t size = 0;
            const Received received = ReceiveMessage(fd, command, size);
            if (received == Received::Nothing) {
                still_open.push_back(fd);
                continue;
            }
            if (received != Received::Message) {
                ::close(fd);
                continue;
            }
            const std::string answer =
                handler_(std::string(reinterpret_cast<const char*>(command), size));
            // The answer goes without waiting: a client that does not read its answers is
            // dropped rather than allowed to stall the commands of everyone else.
            if (!SendMessage(fd, answer.data(), answer.size())) {
                ::close(fd);
                continue;
            }
            still_open.push_back(fd);
        }
        clients.swap(still_open);
    }
    for (const int fd : clients) {
        ::close(fd);
    }
}

}  // namespace qorval::host
