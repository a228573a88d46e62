#include "host/bus/stream_address.h"

#include <arpa/inet.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <unistd.h>

#include <cerrno>
#include <charconv>
#include <cstring>

#include "host/server/seqpacket_listener.h"

namespace qorval::host {
namespace {

constexpr std::string_view kUnixPrefix = "unix:";
constexpr std::string_view kTcpPrefix = "tcp:";
constexpr int kBacklog = 4;

bool ParseTcpPort(std::string_view text, uint16_t* port) {
    unsigned value = 0;
    const auto [end, ec] = std::from_chars(text.data(), text.data() + text.size(), value);
    if (ec != std::errc() || end != text.data() + text.size() || value > 65535) {
        return false;
    }
    *port = static_cast<uint16_t>(value);
    return true;
}

std::string SystemError(const std::string& what) {
    return what + ": " + std::strerror(errno);
}

StreamListener Fail(int fd, std::string* error, const std::string& what) {
    *error = SystemError(what);
    if (fd >= 0) {
        ::close(fd);
    }
    return {};
}

StreamListener Refuse(std::string* error, const std::string& why) {
    *error = why;
    return {};
}

StreamListener ListenUnix(const StreamAddress& address, std::string* error) {
    sockaddr_un where{};
    where.sun_family = AF_UNIX;
    if (address.path.size() >= sizeof(where.sun_path)) {
        return Refuse(error, "socket path too long: " + address.path);
    }
    std::memcpy(where.sun_path, address.path.c_str(), address.path.size() + 1);
    struct stat existing {};
    if (::lstat(address.path.c_str(), &existing) == 0) {
        if (!S_ISSOCK(existing.st_mode)) {
            return Refuse(error, "not a socket, left alone: " + address.path);
        }
        if (existing.st_uid != ::geteuid()) {
            return Refuse(error, "another user's socket, left alone: " + address.path);
        }
        if (SomebodyListens(address.path, SOCK_STREAM)) {
            return Refuse(error, "a program listens on it, left alone: " + address.path);
        }
        ::unlink(address.path.c_str());  // a socket left behind by an earlier run
    }
    const int fd = ::socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC | SOCK_NONBLOCK, 0);
    if (fd < 0) {
        return Fail(fd, error, "socket");
    }
    // bind never replaces a file: one put at the path since the look above makes it fail.
    if (::bind(fd, reinterpret_cast<sockaddr*>(&where), sizeof(where)) != 0) {
        return Fail(fd, error, "bind " + address.path);
    }
    struct stat made {};
    if (::lstat(address.path.c_str(), &made) != 0 || ::chmod(address.path.c_str(), 0600) != 0 ||
        ::listen(fd, kBacklog) != 0) {
        const StreamListener failed = Fail(fd, error, "socket " + address.path);
        ::unlink(address.path.c_str());
        return failed;
    }
    return {fd, made.st_dev, made.st_ino};
}

StreamListener ListenTcp(StreamAddress* address, std::string* error) {
    sockaddr_in where{};
    where.sin_family = AF_INET;
    where.sin_port = htons(address->port);
    if (::inet_pton(AF_INET, address->host.c_str(), &where.sin_addr) != 1) {
        return Refuse(error, "not an IPv4 address: " + address->host);
    }
    const int fd = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC | SOCK_NONBLOCK, 0);
    if (fd < 0) {
        return Fail(fd, error, "socket");
    }
    const int on = 1;
    ::setsockopt(fd, SOL_SOCKET, SO_REUSEADDR, &on, sizeof(on));
    if (::bind(fd, reinterpret_cast<sockaddr*>(&where), sizeof(where)) != 0) {
        return Fail(fd, error, "bind " + FormatStreamAddress(*address));
    }
    if (::listen(fd, kBacklog) != 0) {
        return Fail(fd, error, "listen " + FormatStreamAddress(*address));
    }
    socklen_t length = sizeof(where);
    if (::getsockname(fd, reinterpret_cast<sockaddr*>(&where), &length) == 0) {
        address->port = ntohs(where.sin_port);
    }
    return {fd, 0, 0};
}

}  // namespace

std::string ParseStreamAddress(std::string_view text, StreamAddress* address) {
    *address = StreamAddress{};
    if (text.starts_with(kUnixPrefix)) {
        address->kind = StreamAddress::Kind::Unix;
        address->path = std::string(text.substr(kUnixPrefix.size()));
        if (address->path.empty()) {
            return "unix: needs a socket path";
        }
        return {};
    }
    if (text.starts_with(kTcpPrefix)) {
        address->kind = StreamAddress::Kind::Tcp;
        std::string_view rest = text.substr(kTcpPrefix.size());
        const size_t colon = rest.rfind(':');
        if (colon != std::string_view::npos) {
            address->host = std::string(rest.substr(0, colon));
            rest = rest.substr(colon + 1);
            in_addr probe{};
            if (::inet_pton(AF_INET, address->host.c_str(), &probe) != 1) {
                return "tcp: address must be a numeric IPv4 address";
            }
        }
        if (!ParseTcpPort(rest, &address->port)) {
            return "tcp: port must be a number from 0 to 65535";
        }
        return {};
    }
    return "stream address must be unix:<path> or tcp:[addr:]<port>";
}

std::string FormatStreamAddress(const StreamAddress& address) {
    if (address.kind == StreamAddress::Kind::Unix) {
        return std::string(kUnixPrefix) + address.path;
    }
    return std::string(kTcpPrefix) + address.host + ":" + std::to_string(address.port);
}

StreamListener ListenOn(StreamAddress* address, std::string* error) {
    return address->kind == StreamAddress::Kind::Unix ? ListenUnix(*address, error)
                                                      : ListenTcp(address, error);
}

void CloseListener(const StreamAddress& address, StreamListener& listener) {
    if (listener.fd < 0) {
        return;
    }
    ::close(listener.fd);
    listener.fd = -1;
    struct stat now {};
    if (address.kind == StreamAddress::Kind::Unix && ::lstat(address.path.c_str(), &now) == 0 &&
        S_ISSOCK(now.st_mode) && now.st_dev == listener.device && now.st_ino == listener.inode) {
        ::unlink(address.path.c_str());
    }
}

}  // namespace qorval::host
