#pragma once
// Who is at the other end of a connected Unix socket, as the kernel recorded it when the peer
// connected (SO_PEERCRED): the checks on the control socket, the per-user connection limits
// and the Unix byte-stream bridge all rest on it.

#include <sys/types.h>

#include <optional>

namespace qorval::host {

struct PeerCredentials {
    pid_t pid = 0;
    uid_t uid = 0;
    gid_t gid = 0;
};

std::optional<PeerCredentials> PeerCredentialsOf(int socket);

}  // namespace qorval::host
