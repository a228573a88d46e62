#include "host/server/seqpacket_listener.h"

#include <poll.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

namespace qorval::host {
namespace {

bool MakeAddress(const std::filesystem::path& path, sockaddr_un& address) {
    address = {};
    address.sun_family = AF_UNIX;
    const std::string text = path.string();
    if (text.size() >= sizeof(address.sun_path)) {
        return false;
    }
    std::memcpy(address.sun_path, text.c_str(), text.size() + 1);
    return true;
}

bool SomebodyListensAt(const sockaddr_un& address, int type) {
    const int probe = ::socket(AF_UNIX, type | SOCK_CLOEXEC | SOCK_NONBLOCK, 0);
    if (probe < 0) {
        return true;
    }
    const bool refused =
        ::connect(probe, reinterpret_cast<const sockaddr*>(&address), sizeof(address)) != 0 &&
        errno == ECONNREFUSED;
    ::close(probe);
    return !refused;
}

}  // namespace

bool SomebodyListens(const std::filesystem::path& path, int type) {
    sockaddr_un address;
    return !MakeAddress(path, address) || SomebodyListensAt(address, type);
}

SeqpacketListener::~SeqpacketListener() {
    Close();
}

bool SeqpacketListener::Listen(const std::filesystem::path& path, std::string* error, mode_t mode) {
    Close();
    sockaddr_un address;
    if (!MakeAddress(path, address)) {
        *error = "socket path too long: " + path.string();
        return false;
    }
    struct stat info {};
    if (::lstat(path.c_str(), &info) == 0) {
        if (!S_ISSOCK(info.st_mode)) {
            *error = path.string() + " exists and is not a socket";
            return false;
        }
        if (SomebodyListensAt(address, SOCK_SEQPACKET)) {
            *error = path.string() + " is in use by another driver host";
            return false;
        }
        ::unlink(path.c_str());
    }
    fd_ = ::socket(AF_UNIX, SOCK_SEQPACKET | SOCK_CLOEXEC | SOCK_NONBLOCK, 0);
    if (fd_ < 0) {
        *error = std::string("socket: ") + std::strerror(errno);
        return false;
    }
    // Bind under a restrictive umask so the socket never exists with wider rights.
    const mode_t previous = ::umask(~mode & 0777);
    const bool bound =
        ::bind(fd_, reinterpret_cast<const sockaddr*>(&address), sizeof(address)) == 0;
    const int bind_errno = errno;
    ::umask(previous);
    // The longest queue the system allows: a client that keeps opening connections the host
    // closes at once must not fill it before the host drains it, or others find no room.
    if (!bound || ::chmod(path.c_str(), mode) != 0 || ::listen(fd_, SOMAXCONN) != 0) {
        *error = path.string() + ": " + std::strerror(bound ? errno : bind_errno);
        ::close(fd_);
        fd_ = -1;
        return false;
    }
    path_ = path;
    return true;
}

void SeqpacketListener::Close() {
    if (fd_ >= 0) {
        ::close(fd_);
        fd_ = -1;
        ::unlink(path_.c_str());
    }
}

int SeqpacketListener::Accept(int* error) {
    if (fd_ < 0) {
        return -1;
    }
    const int fd = ::accept4(fd_, nullptr, nullptr, SOCK_CLOEXEC | SOCK_NONBLOCK);
    if (fd < 0 && error != nullptr) {
        *error = errno;
    }
    return fd;
}

Received ReceiveMessage(int fd, std::span<uint8_t> buffer, size_t& size) {
    ssize_t got;
    do {
        got = ::recv(fd, buffer.data(), buffer.size(), MSG_TRUNC | MSG_DONTWAIT);
    } while (got < 0 && errno == EINTR);
    if (got < 0) {
        return errno == EAGAIN || errno == EWOULDBLOCK ? Received::Nothing : Received::Closed;
    }
    if (got == 0) {
        // A message of no bytes reads like the end of the stream; the peer's end tells them
        // apart.
        pollfd end{fd, POLLRDHUP, 0};
        const bool hung_up =
            ::poll(&end, 1, 0) > 0 && (end.revents & (POLLRDHUP | POLLHUP | POLLERR)) != 0;
        return hung_up ? Received::Closed : Received::Empty;
    }
    if (static_cast<size_t>(got) > buffer.size()) {
        return Received::Oversized;
    }
    size = static_cast<size_t>(got);
    return Received::Message;
}

bool ReceiveMessage(int fd, std::string& message, size_t max_size) {
    char probe;
    ssize_t length;
    do {
        length = ::recv(fd, &probe, 1, MSG_PEEK | MSG_TRUNC);
    } while (length < 0 && errno == EINTR);
    if (length <= 0 || static_cast<size_t>(length) > max_size) {
        return false;
    }
    message.resize(static_cast<size_t>(length));
    ssize_t got;
    do {
        got = ::recv(fd, message.data(), message.size(), 0);
    } while (got < 0 && errno == EINTR);
    return got == length;
}

bool SendMessage(int fd, const void* data, size_t size) {
    ssize_t sent;
    do {
        sent = ::send(fd, data, size, MSG_NOSIGNAL | MSG_DONTWAIT);
    } while (sent < 0 && errno == EINTR);
    return sent == static_cast<ssize_t>(size);
}

void RemoveStaleSockets(const std::filesystem::path& dir, std::string_view prefix) {
    std::error_code error;
    for (const auto& entry : std::filesystem::directory_iterator(dir, error)) {
        const std::string name = entry.path().filename().string();
        struct stat info {};
        sockaddr_un address;
        if (name.rfind(prefix, 0) != 0 || ::lstat(entry.path().c_str(), &info) != 0 ||
            !S_ISSOCK(info.st_mode) || !MakeAddress(entry.path(), address)) {
            continue;
        }
        if (!SomebodyListensAt(address, SOCK_SEQPACKET)) {
            ::unlink(entry.path().c_str());
        }
    }
}

}  // namespace qorval::host
