#include "host/bus/tests/stream_host.h"

#include <netinet/in.h>
#include <poll.h>
#include <stdlib.h>
#include <sys/socket.h>
#include <sys/un.h>
#include <unistd.h>

#include <cstring>
#include <fstream>
#include <thread>

#include "host/bus/stream_address.h"
#include "host/bus/stream_token.h"

namespace qorval::host::testing {
namespace {

using Clock = std::chrono::steady_clock;

int Remaining(Clock::time_point until) {
    const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(until - Clock::now());
    return static_cast<int>(std::max<int64_t>(left.count(), 0));
}

}  // namespace

bool Eventually(const std::function<bool()>& done, std::chrono::milliseconds bound) {
    const auto until = Clock::now() + bound;
    while (!done()) {
        if (Clock::now() >= until) {
            return false;
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
    }
    return true;
}

StreamHost::StreamHost(unsigned ports, bool unlimited_rate) {
    char pattern[] = "/tmp/qorval-stream-XXXXXX";
    prefix_ = ::mkdtemp(pattern);
    ::setenv("QORVAL_PREFIX", prefix_.c_str(), 1);
    BusOptions options;
    options.ports = ports;
    options.wiring = WireKind::Open;
    options.unlimited_rate = unlimited_rate;
    host_ = std::make_unique<wyvel32::host::DriverHost>(options);
    std::string warnings;
    started_ = host_->Start(&warnings).empty() && warnings.empty();
}

StreamHost::~StreamHost() {
    host_.reset();
    std::error_code ignored;
    std::filesystem::remove_all(prefix_, ignored);
}

std::string StreamHost::WireUnix(unsigned port) {
    const std::string path = (prefix_ / ("stream" + std::to_string(port))).string();
    std::string bound;
    return bus().WireStream(port, "unix:" + path, &bound).empty() ? path : std::string();
}

uint16_t StreamHost::WireTcp(unsigned port) {
    std::string bound;
    if (!bus().WireStream(port, "tcp:0", &bound).empty()) {
        return 0;
    }
    StreamAddress address;
    return ParseStreamAddress(bound, &address).empty() ? address.port : 0;
}

int ConnectUnix(const std::string& path) {
    const int fd = ::socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0);
    sockaddr_un where{};
    where.sun_family = AF_UNIX;
    std::strncpy(where.sun_path, path.c_str(), sizeof(where.sun_path) - 1);
    if (::connect(fd, reinterpret_cast<sockaddr*>(&where), sizeof(where)) != 0) {
        ::close(fd);
        return -1;
    }
    return fd;
}

int ConnectTcp(uint16_t port) {
    const int fd = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    sockaddr_in where{};
    where.sin_family = AF_INET;
    where.sin_port = htons(port);
    where.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    if (::connect(fd, reinterpret_cast<sockaddr*>(&where), sizeof(where)) != 0) {
        ::close(fd);
        return -1;
    }
    return fd;
}

std::string StreamToken(const StreamHost& host) {
    std::ifstream file(host.prefix() / "run" / std::string(kStreamTokenFileName));
    std::string token;
    std::getline(file, token);
    return token;
}

int ConnectTcpWithToken(const StreamHost& host, uint16_t port) {
    const int fd = ConnectTcp(port);
    const std::string line = StreamToken(host) + "\n";
    if (fd >= 0 && !WriteAll(fd, std::vector<uint8_t>(line.begin(), line.end()))) {
        ::close(fd);
        return -1;
    }
    return fd;
}

bool WriteAll(int fd, const std::vector<uint8_t>& bytes) {
    size_t sent = 0;
    while (sent < bytes.size()) {
        const ssize_t n = ::send(fd, bytes.data() + sent, bytes.size() - sent, MSG_NOSIGNAL);
        if (n <= 0) {
            return false;
        }
        sent += static_cast<size_t>(n);
    }
    return true;
}

bool ReadExactly(int fd, size_t n, std::vector<uint8_t>* out) {
    const auto until = Clock::now() + kGenerous;
    out->clear();
    uint8_t buffer[4096];
    while (out->size() < n) {
        pollfd p{fd, POLLIN, 0};
        if (::poll(&p, 1, Remaining(until)) <= 0) {
            return false;
        }
        const ssize_t got = ::recv(fd, buffer, std::min(sizeof(buffer), n - out->size()), 0);
        if (got <= 0) {
            return false;
        }
        out->insert(out->end(), buffer, buffer + got);
    }
    return true;
}

bool SeesEndOfStream(int fd) {
    const auto until = Clock::now() + kGenerous;
    uint8_t buffer[256];
    while (true) {
        pollfd p{fd, POLLIN, 0};
        if (::poll(&p, 1, Remaining(until)) <= 0) {
            return false;
        }
        const ssize_t got = ::recv(fd, buffer, sizeof(buffer), 0);
        if (got <= 0) {
            return true;
        }
    }
}

OpenedPort::OpenedPort(uint16_t port) {
    if (QORVAL_PortOpen(kAdapterDriver, port, &handle_) != 0) {
        handle_ = 0;
    }
}

OpenedPort::~OpenedPort() {
    if (handle_ != 0) {
        QORVAL_PortClose(handle_);
    }
}

bool OpenedPort::Send(const std::vector<uint8_t>& frame) {
    return QORVAL_PutData(handle_, frame.data(), static_cast<uint32_t>(frame.size())) == 0;
}

std::vector<uint8_t> OpenedPort::NextFrame() {
    std::vector<uint8_t> frame(65535);
    uint32_t length = 0;
    const bool got = Eventually([&] {
        return QORVAL_GetData(handle_, frame.data(), static_cast<uint16_t>(frame.size()),
                              &length) == 0 &&
               length > 0;
    });
    frame.resize(got ? length : 0);
    return frame;
}

std::vector<uint8_t> Pattern(size_t n, uint8_t seed) {
    std::vector<uint8_t> bytes(n);
    for (size_t i = 0; i < n; ++i) {
        bytes[i] = static_cast<uint8_t>(i * 7 + seed + (i >> 8));
    }
    return bytes;
}

}  // namespace qorval::host::testing
