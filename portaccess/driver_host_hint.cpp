#include "portaccess/driver_host_hint.h"

#include <poll.h>
#include <sys/socket.h>
#include <sys/un.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstring>

#include "host/protocol/control_protocol.h"
#include "platform/paths.h"

namespace qorval {
namespace {

constexpr int kAnswerWaitMs = 1000;

enum class Finding { NoHost, NotShared, NotAnswering, AnswersNow };

Finding Probe(const std::string& path) {
    sockaddr_un address{};
    address.sun_family = AF_UNIX;
    if (path.size() >= sizeof(address.sun_path)) {
        return Finding::NoHost;
    }
    std::memcpy(address.sun_path, path.c_str(), path.size() + 1);
    const int fd = ::socket(AF_UNIX, SOCK_SEQPACKET | SOCK_CLOEXEC | SOCK_NONBLOCK, 0);
    if (fd < 0) {
        return Finding::NoHost;
    }
    Finding finding = Finding::NoHost;
    if (::connect(fd, reinterpret_cast<const sockaddr*>(&address), sizeof(address)) != 0) {
        finding = errno == EACCES || errno == EPERM ? Finding::NotShared
                  : errno == EAGAIN                 ? Finding::NotAnswering
                                                    : Finding::NoHost;
    } else {
        // Connected: a host that does not answer a listing is stopped or stalled.
        static constexpr char kList[] = "list";
        pollfd answer{fd, POLLIN, 0};
        const bool answered = ::send(fd, kList, sizeof kList - 1, MSG_NOSIGNAL) > 0 &&
                              ::poll(&answer, 1, kAnswerWaitMs) > 0;
        finding = answered ? Finding::AnswersNow : Finding::NotAnswering;
    }
    ::close(fd);
    return finding;
}

std::string WithPath(const char* format, const std::string& path) {
    char text[1024];
    std::snprintf(text, sizeof text, format, path.c_str());
    return text;
}

}  // namespace

std::string DriverHostHint() {
    const std::string path =
        (platform::RunDir() / std::string(protocol::kStatusSocketName)).string();
    switch (Probe(path)) {
        case Finding::NotShared:
            return WithPath(kDriverHostNotShared, path);
        case Finding::NotAnswering:
            return WithPath(kDriverHostNotAnswering, path);
        case Finding::AnswersNow:
            return WithPath(kDriverHostAnswersNow, path);
        case Finding::NoHost:
            break;
    }
    return kNoDriverHost;
}

}  // namespace qorval
