#include "host/tests/child_process.h"

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>

#include "host/tests/host_fixture.h"

extern char** environ;

namespace qorval::host::testing {

ChildProcess::ChildProcess(std::vector<std::string> argv) {
    int in[2];
    int out[2];
    if (::pipe2(in, O_CLOEXEC) != 0) {
        return;
    }
    if (::pipe2(out, O_CLOEXEC) != 0) {
        ::close(in[0]);
        ::close(in[1]);
        return;
    }
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_adddup2(&actions, in[0], STDIN_FILENO);
    posix_spawn_file_actions_adddup2(&actions, out[1], STDOUT_FILENO);
    posix_spawn_file_actions_adddup2(&actions, out[1], STDERR_FILENO);
    std::vector<char*> args;
    for (auto& arg : argv) {
        args.push_back(arg.data());
    }
    args.push_back(nullptr);
    if (::posix_spawnp(&pid_, args[0], &actions, nullptr, args.data(), environ) != 0) {
        pid_ = -1;
    }
    posix_spawn_file_actions_destroy(&actions);
    ::close(in[0]);
    ::close(out[1]);
    in_ = in[1];
    out_ = out[0];
}

ChildProcess::~ChildProcess() {
    if (pid_ > 0) {
        ::kill(pid_, SIGKILL);
        ::waitpid(pid_, nullptr, 0);
    }
    CloseInput();
    if (out_ >= 0) {
        ::close(out_);
    }
}

bool ChildProcess::ReadSome(int timeout_ms) {
    pollfd readable{out_, POLLIN, 0};
    if (out_ < 0 || ::poll(&readable, 1, timeout_ms) <= 0) {
        return out_ >= 0;
    }
    char buffer[4096];
    const ssize_t got = ::read(out_, buffer, sizeof buffer);
    if (got <= 0) {
        ::close(out_);
        out_ = -1;
        return false;
    }
    output_.append(buffer, static_cast<size_t>(got));
    return true;
}

bool ChildProcess::AwaitOutput(const std::string& text) {
    const auto deadline = std::chrono::steady_clock::now() + kGenerousBound;
    while (output_.find(text) == std::string::npos) {
        const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(
            deadline - std::chrono::steady_clock::now());
        if (left.count() <= 0 || !ReadSome(static_cast<int>(left.count()))) {
            return output_.find(text) != std::string::npos;
        }
    }
    return true;
}

void ChildProcess::CloseInput() {
    if (in_ >= 0) {
        ::close(in_);
        in_ = -1;
    }
}

int ChildProcess::Wait() {
    int status = 0;
    const bool ended = WaitFor([&] {
        (void)ReadSome(1);
        return ::waitpid(pid_, &status, WNOHANG) == pid_;
    });
    if (!ended) {
        return -1;
    }
    pid_ = -1;
    while (ReadSome(0)) {
    }
    return WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
}

int ChildProcess::Terminate() {
    ::kill(pid_, SIGTERM);
    return Wait();
}

Finished RunToEnd(std::vector<std::string> argv) {
    ChildProcess child(std::move(argv));
    if (!child.started()) {
        return {};
    }
    child.CloseInput();
    const int status = child.Wait();
    return {status, child.output()};
}

}  // namespace qorval::host::testing
