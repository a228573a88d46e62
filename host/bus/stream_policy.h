#pragma once
// Where the host's owner lets byte-stream wirings listen. A Unix socket is made only inside the
// prefix (whose folders are the owner's) or in a folder the owner named with --stream-dir; a
// relative path is taken in the prefix's run folder. TCP listens on a loopback address unless
// the owner's options say --stream-remote. The checks look at the folder as it really is
// (links resolved), so a link cannot lead the socket elsewhere.

#include <filesystem>
#include <string>
#include <vector>

#include "host/bus/stream_address.h"

namespace qorval::host {

struct StreamPolicy {
    std::filesystem::path prefix;                // empty: Unix sockets only in `folders`
    std::filesystem::path run_dir;               // where a relative path is taken
    std::vector<std::filesystem::path> folders;  // --stream-dir
    bool remote_tcp = false;                     // --stream-remote
};

// Returns an empty string when the policy allows the address (a relative Unix path is made
// absolute in `address`), else why not.
[[nodiscard]] std::string CheckStreamAddress(const StreamPolicy& policy, StreamAddress* address);

}  // namespace qorval::host
