#include "host/server/seqpacket_listener.h"

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

// A socket file nobody listens on is left over from a host that died.
bool SomebodyListens(const sockaddr_un& address) {
    const int probe = ::socket(AF_UNIX, SOCK_SEQPACKET | SOCK_CLOEXEC, 0);
    if (probe < 0) {
        return false;
    }
    const bool connected =
        ::connect(probe, reinterpret_cast<const sockaddr*>(&address), sizeof(address)) == 0;
    ::close(probe);
    return connected;
}

}  // namespace

SeqpacketListener::~SeqpacketListener() {
    Close();
}

bool SeqpacketListener::Listen(const std::filesystem::path& path, std::string* error) {
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
        if (SomebodyListens(address)) {
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
    const mode_t previous = ::umask(0117);
    const bool bound =
        ::bind(fd_, reinterpret_cast<const sockaddr*>(&address), sizeof(address)) == 0;
    const int bind_errno = errno;
    ::umask(previous);
    if (!bound || ::chmod(path.c_str(), 0660) != 0 || ::listen(fd_, 16) != 0) {
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

int SeqpacketListener::Accept() {
    if (fd_ < 0) {
        return -1;
    }
    return ::accept4(fd_, nullptr, nullptr, SOCK_CLOEXEC);
}

bool ReceiveMessage(int fd, std::string& message, size_t max_size) {
    message.resize(max_size + 1);
    ssize_t got;
    do {
        got = ::recv(fd, message.data(), message.size(), MSG_TRUNC);
    } while (got < 0 && errno == EINTR);
    if (got <= 0 || static_cast<size_t>(got) > max_size) {
        return false;
    }
    message.resize(static_cast<size_t>(got));
    return true;
}

bool SendMessage(int fd, const void* data, size_t size) {
    ssize_t sent;
    do {
        sent = ::send(fd, data, size, MSG_NOSIGNAL);
    } while (sent < 0 && errno == EINTR);
    return sent == static_cast<ssize_t>(size);
}

}  // namespace qorval::host
