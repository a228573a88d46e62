#include "host/bus/stream_policy.h"

#include <arpa/inet.h>

namespace qorval::host {
namespace {

// The folder as it is on disk; empty when it does not exist.
std::filesystem::path RealFolder(const std::filesystem::path& folder) {
    std::error_code error;
    const auto real = std::filesystem::canonical(folder, error);
    return error || !std::filesystem::is_directory(real, error) ? std::filesystem::path() : real;
}

bool Inside(const std::filesystem::path& folder, const std::filesystem::path& root) {
    if (root.empty()) {
        return false;
    }
    const auto relative = folder.lexically_relative(root);
    return !relative.empty() && *relative.begin() != "..";
}

bool IsLoopback(const std::string& host) {
    in_addr address{};
    return ::inet_pton(AF_INET, host.c_str(), &address) == 1 &&
           (ntohl(address.s_addr) >> 24) == 127;
}

std::string CheckUnix(const StreamPolicy& policy, StreamAddress* address) {
    std::filesystem::path path(address->path);
    if (path.is_relative()) {
        path = policy.run_dir / path;
    }
    if (!path.has_filename() || path.filename() == "." || path.filename() == "..") {
        return "unix: the path must end in a socket name";
    }
    address->path = path.string();
    const std::filesystem::path folder = RealFolder(path.parent_path());
    if (folder.empty()) {
        return "unix: no such folder: " + path.parent_path().string();
    }
    if (Inside(folder, RealFolder(policy.prefix))) {
        return {};
    }
    for (const auto& allowed : policy.folders) {
        if (folder == RealFolder(allowed)) {
            return {};
        }
    }
    return "unix: " + path.parent_path().string() +
           " is neither inside the prefix nor a folder given with --stream-dir";
}

}  // namespace

std::string CheckStreamAddress(const StreamPolicy& policy, StreamAddress* address) {
    if (address->kind == StreamAddress::Kind::Unix) {
        return CheckUnix(policy, address);
    }
    if (!policy.remote_tcp && !IsLoopback(address->host)) {
        return "tcp: " + address->host +
               " is not a loopback address; the host listens beyond this machine only when "
               "started with --stream-remote";
    }
    return {};
}

}  // namespace qorval::host
