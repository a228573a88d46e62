#include "portaccess/library/seqpacket_client.h"

#include <poll.h>
#include <sys/socket.h>
#include <sys/un.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

namespace qorval::library {

SeqpacketClient::~SeqpacketClient() {
    Close();
}

void SeqpacketClient::Close() {
    if (fd_ >= 0) {
        ::close(fd_);
        fd_ = -1;
    }
}

SeqpacketClient::ConnectResult SeqpacketClient::Connect(const std::filesystem::path& socket_path) {
    Close();
    sockaddr_un address{};
    address.sun_family = AF_UNIX;
    const std::string path = socket_path.string();
    if (path.size() >= sizeof(address.sun_path)) {
        return ConnectResult::Failed;
    }
    std::memcpy(address.sun_path, path.c_str(), path.size() + 1);
    fd_ = ::socket(AF_UNIX, SOCK_SEQPACKET | SOCK_CLOEXEC, 0);
    if (fd_ < 0) {
        return ConnectResult::Failed;
    }
    // A Unix socket connect completes at once or fails at once (a full backlog gives EAGAIN
    // only for non-blocking sockets), so a blocking connect cannot hang on a dead host.
    if (::connect(fd_, reinterpret_cast<const sockaddr*>(&address), sizeof(address)) != 0) {
        const int error = errno;
        Close();
        if (error == ENOENT) {
            return ConnectResult::NoSuchSocket;
        }
        return error == ECONNREFUSED ? ConnectResult::Refused : ConnectResult::Failed;
    }
    return ConnectResult::Connected;
}

bool SeqpacketClient::Send(std::span<const uint8_t> message) {
    if (fd_ < 0) {
        return false;
    }
    ssize_t sent;
    do {
        sent = ::send(fd_, message.data(), message.size(), MSG_NOSIGNAL);
    } while (sent < 0 && errno == EINTR);
    return sent == static_cast<ssize_t>(message.size());
}

bool SeqpacketClient::Receive(std::vector<uint8_t>& message, size_t max_size, int timeout_ms) {
    if (fd_ < 0) {
        return false;
    }
    pollfd waiting{fd_, POLLIN, 0};
    int ready;
    do {
        ready = ::poll(&waiting, 1, timeout_ms);
    } while (ready < 0 && errno == EINTR);
    if (ready <= 0) {
        return false;
    }
    message.resize(max_size + 1);  // one spare byte tells an over-long message apart
    ssize_t got;
    do {
        got = ::recv(fd_, message.data(), message.size(), MSG_TRUNC);
    } while (got < 0 && errno == EINTR);
    if (got <= 0 || static_cast<size_t>(got) > max_size) {
        return false;
    }
    message.resize(static_cast<size_t>(got));
    return true;
}

}  // namespace qorval::library
