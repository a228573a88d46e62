#include "host/server/peer_credentials.h"

#include <sys/socket.h>

namespace qorval::host {

std::optional<PeerCredentials> PeerCredentialsOf(int socket) {
    ucred credentials{};
    socklen_t length = sizeof(credentials);
    if (::getsockopt(socket, SOL_SOCKET, SO_PEERCRED, &credentials, &length) != 0 ||
        length != sizeof(credentials)) {
        return std::nullopt;
    }
    return PeerCredentials{credentials.pid, credentials.uid, credentials.gid};
}

}  // namespace qorval::host
