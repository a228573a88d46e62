// Runs a shell command as another local user, to show what such a user can and cannot reach.
// Needs root (to change user) and setpriv; a test skips with a message without them.
#pragma once

#include <sys/wait.h>
#include <unistd.h>

#include <cstdlib>
#include <optional>
#include <string>

namespace qorval::platform::testing {

// The unprivileged account every Debian system has.
inline constexpr const char* kOtherUid = "65534";

// Why commands cannot run as another user here, or empty when they can.
inline std::string OtherUserUnavailable() {
    if (::geteuid() != 0) {
        return "needs root to act as a second user";
    }
    if (std::system("command -v setpriv >/dev/null 2>&1") != 0) {
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

}  // namespace qorval::platform::testing
