// Runs a shell command as another local user, to show what such a user can and cannot reach.
// Needs root (to change user) and setpriv; a test skips with a message without them.
//
// Two such users: the unprivileged account every Debian system has (65534), and an account of
// the tests' own with a group of its own ("qorval-peer"), made with useradd the first time it
// is asked for, for the tests where the other user shares the owner's ports through that group.
#pragma once

#include <pwd.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdlib>
#include <optional>
#include <string>
#include <vector>

#include "platform/testing/find_program.h"

namespace qorval::platform::testing {

// The unprivileged account every Debian system has.
inline constexpr const char* kOtherUid = "65534";

// Why commands cannot run as another user here, or empty when they can.
inline std::string OtherUserUnavailable() {
    if (::geteuid() != 0) {
        return "needs root to act as a second user";
    }
    if (!qorval::testing::FindProgram("setpriv")) {
        return "needs setpriv to act as a second user";
    }
    return {};
}

// The exit status of `command` run by /bin/sh as user and group 65534 with no other groups.
inline int RunAsOtherUser(const std::string& command) {
    const std::string line = std::string("setpriv --reuid=") + kOtherUid + " --regid=" + kOtherUid +
                             " --clear-groups -- sh -c '" + command + "' >/dev/null 2>&1";
    const int status = std::system(line.c_str());
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

inline constexpr const char* kPeerUserName = "qorval-peer";

struct OtherUser {
    uid_t uid = 0;
    gid_t gid = 0;  // its own group, the one the owner shares the ports with
    std::string name;
    std::string setpriv;  // its full path: a process is started from a path, not looked up

    // `argv` run as this user, with its group and no other (the environment is kept).
    std::vector<std::string> Command(std::vector<std::string> argv) const {
        std::vector<std::string> line = {setpriv, "--reuid=" + std::to_string(uid),
                                         "--regid=" + std::to_string(gid), "--clear-groups", "--"};
        line.insert(line.end(), argv.begin(), argv.end());
        return line;
    }
};

// The tests' own second user, made when missing; nullopt with `why` when that is not possible.
inline std::optional<OtherUser> PeerUser(std::string* why) {
    if (std::string missing = OtherUserUnavailable(); !missing.empty()) {
        *why = missing;
        return std::nullopt;
    }
    if (::getpwnam(kPeerUserName) == nullptr &&
        std::system((std::string("useradd --system --user-group --no-create-home "
                                 "--shell /usr/sbin/nologin ") +
                     kPeerUserName + " >/dev/null 2>&1")
                        .c_str()) != 0 &&
        ::getpwnam(kPeerUserName) == nullptr) {  // another suite may have made it meanwhile
        *why = std::string("could not make the user ") + kPeerUserName + " with useradd";
        return std::nullopt;
    }
    const passwd* entry = ::getpwnam(kPeerUserName);
    if (entry == nullptr) {
        *why = std::string("no user ") + kPeerUserName;
        return std::nullopt;
    }
    return OtherUser{entry->pw_uid, entry->pw_gid, kPeerUserName,
                     qorval::testing::FindProgram("setpriv").value_or("setpriv")};
}

}  // namespace qorval::platform::testing
