#include "host/control_client_command.h"

#include <sys/socket.h>
#include <sys/un.h>
#include <unistd.h>

#include <cstring>
#include <string>

#include "host/protocol/control_protocol.h"
#include "host/server/control_socket_server.h"
#include "host/server/seqpacket_listener.h"
#include "platform/paths.h"

namespace wyvel32::host {

namespace {

constexpr size_t kMaxAnswer = 65536;

// Sends one command and returns the host's answer, or an "error: ..." text of our own.
std::string Ask(const std::string& command) {
    const std::string path =
        (qorval::platform::RunDir() / std::string(qorval::protocol::kControlSocketName)).string();
    sockaddr_un address{};
    address.sun_family = AF_UNIX;
    if (path.size() >= sizeof(address.sun_path)) {
        return "error: control socket path too long: " + path + "\n";
    }
    std::memcpy(address.sun_path, path.c_str(), path.size() + 1);
    const int fd = ::socket(AF_UNIX, SOCK_SEQPACKET | SOCK_CLOEXEC, 0);
    if (fd < 0 ||
        ::connect(fd, reinterpret_cast<const sockaddr*>(&address), sizeof(address)) != 0) {
        if (fd >= 0) {
            ::close(fd);
        }
        return "error: no driver host is running (" + path + ")\n";
    }
    std::string answer;
    const bool ok = qorval::host::SendMessage(fd, command.data(), command.size()) &&
                    qorval::host::ReceiveMessage(fd, answer, kMaxAnswer);
    ::close(fd);
    return ok ? answer : "error: the driver host did not answer\n";
}

}  // namespace

int RunControlClientCommand(std::string_view name, std::span<const std::string_view> args,
                            std::ostream& out, std::ostream& err) {
    std::string command(name == "status" ? "list" : name);
    for (const std::string_view arg : args) {
        command += ' ';
        command += arg;
    }
    if (command.size() > qorval::host::kMaxControlCommand) {
        err << "wyvel32: command too long\n";
        return 2;
    }
    const std::string answer = Ask(command);
    if (answer.rfind("ok", 0) == 0) {
        const size_t body = answer.find('\n');
        out << (body == std::string::npos ? "" : answer.substr(body + 1));
        return 0;
    }
    err << "wyvel32: " << answer;
    return 1;
}

}  // namespace wyvel32::host
