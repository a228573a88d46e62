#include "host/bus/tests/stream_child.h"

#include <fcntl.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <fstream>
#include <sstream>
#include <thread>

#include "host/bus/tests/stream_host.h"

extern char** environ;

namespace qorval::host::testing {

Child::Child(std::vector<std::string> argv, const std::string& cwd)
    : error_file_(cwd + "/stderr.txt") {
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addopen(&actions, 0, "/dev/null", O_RDONLY, 0);
    posix_spawn_file_actions_addopen(&actions, 1, "/dev/null", O_WRONLY, 0);
    posix_spawn_file_actions_addopen(&actions, 2, error_file_.c_str(), O_WRONLY | O_CREAT | O_TRUNC,
                                     0644);
    posix_spawn_file_actions_addchdir_np(&actions, cwd.c_str());
    std::vector<char*> args;
    for (auto& a : argv) {
        args.push_back(a.data());
    }
    args.push_back(nullptr);
    if (posix_spawn(&pid_, args[0], &actions, nullptr, args.data(), environ) != 0) {
        pid_ = -1;
    }
    posix_spawn_file_actions_destroy(&actions);
}

Child::~Child() {
    Kill();
}

int Child::Wait(int seconds) {
    if (pid_ <= 0) {
        return -1;
    }
    int status = 0;
    const bool ended = Eventually([&] { return ::waitpid(pid_, &status, WNOHANG) == pid_; },
                                  std::chrono::seconds(seconds));
    if (!ended) {
        Kill();
        return -1;
    }
    pid_ = -1;
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

void Child::Kill() {
    if (pid_ > 0) {
        ::kill(pid_, SIGKILL);
        int status = 0;
        ::waitpid(pid_, &status, 0);
        pid_ = -1;
    }
}

std::string Child::ErrorOutput() const {
    std::ifstream in(error_file_);
    std::stringstream s;
    s << in.rdbuf();
    return s.str();
}

bool Child::WaitForErrorText(const std::string& text, int seconds) const {
    return Eventually([&] { return ErrorOutput().find(text) != std::string::npos; },
                      std::chrono::seconds(seconds));
}

}  // namespace qorval::host::testing
