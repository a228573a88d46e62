#include "analyser/tests/program_run.h"

#include <fcntl.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>

#include <chrono>
#include <fstream>
#include <sstream>
#include <thread>

extern char** environ;

namespace qorval::analyser::testing {
namespace {

constexpr std::chrono::seconds kGenerousBound{20};
constexpr std::chrono::milliseconds kPollInterval{5};

std::string Contents(const std::filesystem::path& path) {
    std::ifstream in(path, std::ios::binary);
    std::ostringstream text;
    text << in.rdbuf();
    return text.str();
}

}  // namespace

ProgramRun::ProgramRun(std::vector<std::string> argv, const std::filesystem::path& folder)
    : out_(folder / "stdout.txt"), err_(folder / "stderr.txt") {
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addopen(&actions, 1, out_.c_str(), O_WRONLY | O_CREAT | O_TRUNC,
                                     0644);
    posix_spawn_file_actions_addopen(&actions, 2, err_.c_str(), O_WRONLY | O_CREAT | O_TRUNC,
                                     0644);
    std::vector<char*> args;
    for (std::string& arg : argv) {
        args.push_back(arg.data());
    }
    args.push_back(nullptr);
    if (::posix_spawn(&pid_, args[0], &actions, nullptr, args.data(), environ) != 0) {
        pid_ = -1;
    }
    posix_spawn_file_actions_destroy(&actions);
}

ProgramRun::~ProgramRun() {
    if (pid_ > 0) {
        ::kill(pid_, SIGKILL);
        ::waitpid(pid_, nullptr, 0);
    }
}

std::string ProgramRun::Output() const {
    return Contents(out_);
}

std::string ProgramRun::Errors() const {
    return Contents(err_);
}

bool ProgramRun::Ended() {
    int status = 0;
    if (pid_ > 0 && ::waitpid(pid_, &status, WNOHANG) == pid_) {
        pid_ = -1;
        exitStatus_ = WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
    }
    return pid_ <= 0;
}

bool ProgramRun::AwaitOutput(const std::function<bool(const std::string&)>& done) {
    const auto end = std::chrono::steady_clock::now() + kGenerousBound;
    while (!done(Output())) {
        if (Ended() || std::chrono::steady_clock::now() > end) {
            return done(Output());
        }
        std::this_thread::sleep_for(kPollInterval);
    }
    return true;
}

int ProgramRun::Terminate() {
    if (pid_ > 0) {
        ::kill(pid_, SIGTERM);
    }
    const auto end = std::chrono::steady_clock::now() + kGenerousBound;
    while (!Ended()) {
        if (std::chrono::steady_clock::now() > end) {
            return -1;
        }
        std::this_thread::sleep_for(kPollInterval);
    }
    return exitStatus_;
}

}  // namespace qorval::analyser::testing
