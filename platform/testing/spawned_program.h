// A program a test runs as a child: its standard output and error into files, its status
// awaited within a bound, killed when the test lets go of it without waiting.
#pragma once

#include <fcntl.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <filesystem>
#include <optional>
#include <string>
#include <thread>
#include <vector>

extern char** environ;

namespace qorval::testing {

class SpawnedProgram {
  public:
    // `environment`: the child's whole environment; nullopt: the test's own.
    SpawnedProgram(std::vector<std::string> args, const std::filesystem::path& out,
                   const std::filesystem::path& err,
                   const std::optional<std::vector<std::string>>& environment = std::nullopt) {
        posix_spawn_file_actions_t actions;
        posix_spawn_file_actions_init(&actions);
        posix_spawn_file_actions_addopen(&actions, 0, "/dev/null", O_RDONLY, 0);
        posix_spawn_file_actions_addopen(&actions, 1, out.c_str(), O_WRONLY | O_CREAT | O_TRUNC,
                                         0644);
        posix_spawn_file_actions_addopen(&actions, 2, err.c_str(), O_WRONLY | O_CREAT | O_TRUNC,
                                         0644);
        std::vector<char*> argv;
        for (auto& arg : args) {
            argv.push_back(arg.data());
        }
        argv.push_back(nullptr);
        std::vector<std::string> env = environment.value_or(std::vector<std::string>{});
        std::vector<char*> envp;
        for (auto& entry : env) {
            envp.push_back(entry.data());
        }
        envp.push_back(nullptr);
        if (::posix_spawn(&pid_, argv[0], &actions, nullptr, argv.data(),
                          environment ? envp.data() : environ) != 0) {
            pid_ = -1;
        }
        posix_spawn_file_actions_destroy(&actions);
    }
    ~SpawnedProgram() {
        if (pid_ > 0) {
            ::kill(pid_, SIGKILL);
            (void)Wait();
        }
    }
    SpawnedProgram(const SpawnedProgram&) = delete;
    SpawnedProgram& operator=(const SpawnedProgram&) = delete;

    bool Started() const { return pid_ > 0; }
    void Signal(int signal) const {
        if (pid_ > 0) {
            ::kill(pid_, signal);
        }
    }
    // The exit status (128 + the signal for a program a signal ended), or -1 when it has not
    // ended within `bound`.
    int Wait(std::chrono::milliseconds bound = std::chrono::seconds(60)) {
        if (pid_ <= 0) {
            return -1;
        }
        const auto until = std::chrono::steady_clock::now() + bound;
        int status = 0;
        while (::waitpid(pid_, &status, WNOHANG) != pid_) {
            if (std::chrono::steady_clock::now() > until) {
                return -1;
            }
            std::this_thread::sleep_for(std::chrono::milliseconds(10));
        }
        pid_ = -1;
        return WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
    }

  private:
    pid_t pid_ = -1;
};

}  // namespace qorval::testing
