#include "host/control_client_command.h"

#include <poll.h>
#include <sys/socket.h>
#include <sys/time.h>
#include <sys/un.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include "host/protocol/control_protocol.h"
#include "host/server/control_commands.h"
#include "host/server/control_socket_server.h"
#include "host/server/seqpacket_listener.h"
#include "platform/paths.h"

namespace wyvel32::host {

namespace {

constexpr size_t kMaxAnswer = 65536;

std::string Seconds(std::chrono::milliseconds wait) {
    char text[32];
    std::snprintf(text, sizeof text, "%g s", std::chrono::duration<double>(wait).count());
    return text;
}

std::string NotAnswered(std::string_view what, std::chrono::milliseconds wait,
                        const std::string& path) {
    return "error: the driver host did not " + std::string(what) + " within " + Seconds(wait) +
           " (" + path + "); it may be stopped or stalled\n";
}

// Why ports the listing shows as disabled are not started, or an empty string.
std::string DisabledNote(const std::string& listing) {
    std::vector<qorval::protocol::PortListing> ports;
    if (!qorval::protocol::ParsePortList(listing, ports).empty()) {
        return {};
    }
    for (const auto& port : ports) {
        if (port.state == qorval::protocol::kDisabledState) {
            return "ports shown disabled are not started: " +
                   std::string(qorval::protocol::kDriverDisabled) +
                   "; the configuration tool's \"Driver is enabled\" enables it\n";
        }
    }
    return {};
}

}  // namespace

// Taking the connection, sending and answering are each bounded by `wait`. A command that
// only reads goes to the status socket, which the group sharing the ports may use too.
std::string AskDriverHost(const std::string& command, std::chrono::milliseconds wait) {
    const std::string_view socket_name = qorval::host::IsReadOnlyCommand(command)
                                             ? qorval::protocol::kStatusSocketName
                                             : qorval::protocol::kControlSocketName;
    const std::string path = (qorval::platform::RunDir() / std::string(socket_name)).string();
    sockaddr_un address{};
    address.sun_family = AF_UNIX;
    if (path.size() >= sizeof(address.sun_path)) {
        return "error: control socket path too long: " + path + "\n";
    }
    std::memcpy(address.sun_path, path.c_str(), path.size() + 1);
    const int fd = ::socket(AF_UNIX, SOCK_SEQPACKET | SOCK_CLOEXEC, 0);
    if (fd < 0) {
        return "error: cannot make a socket: " + std::string(std::strerror(errno)) + "\n";
    }
    // A host that stopped accepting leaves connections queued until its backlog is full; then
    // connect blocks, for as long as the send timeout allows.
    const auto usec = std::chrono::duration_cast<std::chrono::microseconds>(wait).count();
    const timeval timeout{static_cast<time_t>(usec / 1000000),
                          static_cast<suseconds_t>(usec % 1000000)};
    (void)::setsockopt(fd, SOL_SOCKET, SO_SNDTIMEO, &timeout, sizeof timeout);
    if (::connect(fd, reinterpret_cast<const sockaddr*>(&address), sizeof(address)) != 0) {
        const int error = errno;
        ::close(fd);
        if (error == EAGAIN || error == EWOULDBLOCK) {
            return NotAnswered("take the command", wait, path);
        }
        if (error == EACCES || error == EPERM) {
            return "error: permission denied: you may not use " + path +
                   " (it belongs to another user)\n";
        }
        return "error: no driver host is running (" + path + ")\n";
    }
    std::string answer;
    if (!qorval::host::SendMessage(fd, command.data(), command.size())) {
        answer = NotAnswered("take the command", wait, path);
    } else {
        pollfd ready{fd, POLLIN, 0};
        int polled;
        do {
            polled = ::poll(&ready, 1, static_cast<int>(wait.count()));
        } while (polled < 0 && errno == EINTR);
        if (polled == 0) {
            answer = NotAnswered("answer", wait, path);
        } else if (polled < 0 || !qorval::host::ReceiveMessage(fd, answer, kMaxAnswer)) {
            answer = "error: the driver host did not answer\n";
        }
    }
    ::close(fd);
    return answer;
}

int RunControlClientCommand(std::string_view name, std::span<const std::string_view> args,
                            std::ostream& out, std::ostream& err, std::chrono::milliseconds wait) {
    std::string command(name);
    for (const std::string_view arg : args) {
        command += ' ';
        command += arg;
    }
    if (command.size() > qorval::host::kMaxControlCommand) {
        err << "wyvel32: command too long\n";
        return 2;
    }
    const std::string answer = AskDriverHost(command, wait);
    if (answer.rfind("ok", 0) == 0) {
        const size_t body = answer.find('\n');
        out << (body == std::string::npos ? "" : answer.substr(body + 1));
        if (name == "status") {
            out << DisabledNote(answer);
        }
        return 0;
    }
    err << "wyvel32: " << answer;
    return 1;
}

}  // namespace wyvel32::host
