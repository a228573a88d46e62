#include "host/tests/host_process.h"

#include <poll.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>

#include "host/tests/host_fixture.h"

extern char** environ;

namespace qorval::host::testing {

namespace {

// Spawns `program` with its standard output (and, when `err` is given, standard error) on the
// write ends of the given pipes, which are closed here.
pid_t Spawn(const std::string& program, std::vector<std::string> args, int out[2],
            int* err = nullptr) {
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_adddup2(&actions, out[1], STDOUT_FILENO);
    posix_spawn_file_actions_addclose(&actions, out[0]);
    if (err != nullptr) {
        posix_spawn_file_actions_adddup2(&actions, err[1], STDERR_FILENO);
        posix_spawn_file_actions_addclose(&actions, err[0]);
    }
    args.insert(args.begin(), program);
    std::vector<char*> argv;
    for (auto& arg : args) {
        argv.push_back(arg.data());
    }
    argv.push_back(nullptr);
    pid_t pid = -1;
    if (::posix_spawn(&pid, program.c_str(), &actions, nullptr, argv.data(), environ) != 0) {
        pid = -1;
    }
    posix_spawn_file_actions_destroy(&actions);
    ::close(out[1]);
    if (err != nullptr) {
        ::close(err[1]);
    }
    return pid;
}

int ExitStatus(int status) {
    return WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
}

}  // namespace

HostProcess::HostProcess(const std::string& program, std::vector<std::string> args) {
    int out[2];
    if (::pipe(out) != 0) {
        return;
    }
    pid_ = Spawn(program, std::move(args), out);
    out_ = out[0];
}

HostProcess::~HostProcess() {
    if (pid_ > 0) {
        ::kill(pid_, SIGKILL);
        ::waitpid(pid_, nullptr, 0);
    }
    ::close(out_);
}

bool HostProcess::AwaitOutput(const std::string& text) {
    const auto deadline = std::chrono::steady_clock::now() + kGenerousBound;
    while (output_.find(text) == std::string::npos) {
        const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(
            deadline - std::chrono::steady_clock::now());
        pollfd readable{out_, POLLIN, 0};
        char buffer[512];
        if (left.count() <= 0 || ::poll(&readable, 1, static_cast<int>(left.count())) <= 0) {
            return false;
        }
        const ssize_t got = ::read(out_, buffer, sizeof buffer);
        if (got <= 0) {
            return false;
        }
        output_.append(buffer, static_cast<size_t>(got));
    }
    return true;
}

int HostProcess::Terminate() {
    ::kill(pid_, SIGTERM);
    int status = 0;
    const bool ended = WaitFor([&] { return ::waitpid(pid_, &status, WNOHANG) == pid_; });
    if (!ended) {
        return -1;
    }
    pid_ = -1;
    return ExitStatus(status);
}

ProgramRun RunProgram(const std::string& program, const std::vector<std::string>& args) {
    ProgramRun run;
    int out[2];
    int err[2];
    if (::pipe(out) != 0) {
        return run;
    }
    if (::pipe(err) != 0) {
        ::close(out[0]);
        ::close(out[1]);
        return run;
    }
    const pid_t pid = Spawn(program, args, out, err);
    // Both outputs are read as they come, so neither pipe fills while the program writes.
    pollfd fds[2] = {{out[0], POLLIN, 0}, {err[0], POLLIN, 0}};
    std::string* texts[2] = {&run.out, &run.err};
    for (int open = pid > 0 ? 2 : 0; open > 0;) {
        if (::poll(fds, 2, static_cast<int>(kGenerousBound.count())) <= 0) {
            break;
        }
        for (int i = 0; i < 2; ++i) {
            if (fds[i].fd < 0 || (fds[i].revents & (POLLIN | POLLHUP)) == 0) {
                continue;
            }
            char buffer[4096];
            const ssize_t got = ::read(fds[i].fd, buffer, sizeof buffer);
            if (got <= 0) {
                fds[i].fd = -1;
                --open;
            } else {
                texts[i]->append(buffer, static_cast<size_t>(got));
            }
        }
    }
    ::close(out[0]);
    ::close(err[0]);
    if (pid > 0) {
        int status = 0;
        ::waitpid(pid, &status, 0);
        run.status = ExitStatus(status);
    }
    return run;
}

}  // namespace qorval::host::testing
