#pragma once
// A control socket of the driver host: one text command per message, one text answer per
// command (see host/protocol/control_protocol.h). Commands run one at a time on the server's
// thread, so Plug and Play changes never overlap.
//
// The host has two such doors. The control socket proper is its owner's alone: the socket file
// is 0600 and the credentials of every peer are checked, so even a peer that reaches it (root,
// or a mode someone widened) gets only a refusal. The status socket may be shared with the
// group that shares the ports and answers only what lists (see Door).
//
// Connections are bounded per user and in all (FairShare): a user at their bound loses their
// oldest connection to a new one, so nobody locks anyone out, themselves included. When the
// host has no descriptor left, the listener rests (AcceptBackoff) while the connections already
// made are still answered.

#include <sys/types.h>

#include <atomic>
#include <cstdint>
#include <filesystem>
#include <functional>
#include <string>
#include <thread>
#include <vector>

#include "host/server/accept_backoff.h"
#include "host/server/fair_share.h"
#include "host/server/seqpacket_listener.h"

namespace qorval::host {

class ControlSocketServer {
  public:
    using Handler = std::function<std::string(const std::string& command)>;

    struct Door {
        mode_t mode = 0600;      // of the socket file
        bool owner_only = true;  // a peer that is not the host's own user is refused
        size_t per_user = 4;     // connections one user holds at once
        size_t in_all = 32;      // connections held at once
    };

    ControlSocketServer(Handler handler, Door door);
    ~ControlSocketServer();
    ControlSocketServer(const ControlSocketServer&) = delete;
    ControlSocketServer& operator=(const ControlSocketServer&) = delete;

    [[nodiscard]] bool Start(const std::filesystem::path& socket_path, std::string* error);
    void Stop();

  private:
    struct Client {
        int fd = -1;
        uid_t uid = 0;
        bool refused = false;  // answered with the refusal, then closed
    };
    void Loop();
    // Accepts one waiting connection and admits or closes it; false when none was waiting.
    bool AcceptOne();
    // Answers one waiting command; false when the connection is to close.
    bool Serve(const Client& client);

    Handler handler_;
    const Door door_;
    const uid_t owner_;
    const FairShare share_;
    SeqpacketListener listener_;
    AcceptBackoff backoff_;
    std::vector<Client> clients_;  // the server's thread only; oldest first
    int wake_[2] = {-1, -1};
    std::atomic<bool> stopping_{false};
    std::thread thread_;
};

// The longest command the control socket takes.
inline constexpr size_t kMaxControlCommand = 1024;

// The answer to a peer who may not command the host.
std::string ControlRefusal(uid_t owner);

}  // namespace qorval::host
