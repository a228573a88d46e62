#include "portaccess/library/seqpacket_client.h"

#include <sys/socket.h>
#include <sys/un.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

#include "host/protocol/descriptor_passing.h"

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
    // Non-blocking, so that a host that stopped accepting (its queue full) makes the connect
    // fail at once instead of waiting for room.
    fd_ = ::socket(AF_UNIX, SOCK_SEQPACKET | SOCK_CLOEXEC | SOCK_NONBLOCK, 0);
    if (fd_ < 0) {
        return ConnectResult::Failed;
    }
    if (::connect(fd_, reinterpret_cast<const sockaddr*>(&address), sizeof(address)) != 0) {
        const int error = errno;
        Close();
        switch (error) {
            case ENOENT:
                return ConnectResult::NoSuchSocket;
            case ECONNREFUSED:
                return ConnectResult::NoListener;
            case EAGAIN:
                return ConnectResult::Busy;
            default:
                return ConnectResult::Failed;
        }
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

bool SeqpacketClient::Receive(std::span<uint8_t> buffer, size_t& size, int timeout_ms) {
    std::vector<int> none;
    return ReceiveWithDescriptors(buffer, size, none, 0, timeout_ms);
}

bool SeqpacketClient::ReceiveWithDescriptors(std::span<uint8_t> buffer, size_t& size,
                                             std::vector<int>& descriptors,
                                             size_t max_descriptors, int timeout_ms) {
    if (fd_ < 0) {
        return false;
    }
    const ssize_t got = protocol::ReceiveWithDescriptors(fd_, buffer, descriptors,
                                                         max_descriptors, timeout_ms);
    if (got <= 0 || static_cast<size_t>(got) > buffer.size()) {
        protocol::CloseAll(descriptors);
        return false;
    }
    size = static_cast<size_t>(got);
    return true;
}

}  // namespace qorval::library
