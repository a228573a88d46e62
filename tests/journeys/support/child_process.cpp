#include "tests/journeys/support/child_process.h"

#include <fcntl.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstring>
#include <fstream>
#include <map>
#include <sstream>

extern char** environ;

namespace qorval::journeys {
namespace {

// The parent's environment with `changes` applied, as "NAME=value" strings.
std::vector<std::string> ChildEnvironment(const Environment& changes) {
    std::map<std::string, std::string> variables;
    for (char** entry = environ; *entry != nullptr; ++entry) {
        const std::string_view text(*entry);
        const size_t equals = text.find('=');
        if (equals != std::string_view::npos) {
            variables[std::string(text.substr(0, equals))] = std::string(text.substr(equals + 1));
        }
    }
    for (const auto& [name, value] : changes) {
        variables[name] = value;
    }
    std::vector<std::string> result;
    for (const auto& [name, value] : variables) {
        result.push_back(name + "=" + value);
    }
    return result;
}

std::vector<char*> Pointers(std::vector<std::string>& strings) {
    std::vector<char*> pointers;
    for (auto& s : strings) {
        pointers.push_back(s.data());
    }
    pointers.push_back(nullptr);
    return pointers;
}

int StatusOf(int wait_status) {
    if (WIFEXITED(wait_status)) {
        return WEXITSTATUS(wait_status);
    }
    return WIFSIGNALED(wait_status) ? 128 + WTERMSIG(wait_status) : -1;
}

std::chrono::microseconds Microseconds(const timeval& t) {
    return std::chrono::seconds(t.tv_sec) + std::chrono::microseconds(t.tv_usec);
}

}  // namespace

std::string ReadWholeFile(const std::filesystem::path& path) {
    std::ifstream in(path, std::ios::binary);
    std::ostringstream text;
    text << in.rdbuf();
    return text.str();
}

ChildProcess::ChildProcess(ProcessOptions options) : options_(std::move(options)) {
    // A child that ends before reading its input must not end the test with SIGPIPE.
    ::signal(SIGPIPE, SIG_IGN);
    out_file_ = options_.directory / (options_.name + ".out");
    err_file_ = options_.directory / (options_.name + ".err");
    if (options_.argv.empty()) {
        return;
    }
    int input[2];
    if (::pipe2(input, O_CLOEXEC) != 0) {
        return;
    }
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_adddup2(&actions, input[0], STDIN_FILENO);
    posix_spawn_file_actions_addopen(&actions, STDOUT_FILENO, out_file_.c_str(),
                                     O_WRONLY | O_CREAT | O_TRUNC, 0644);
    posix_spawn_file_actions_addopen(&actions, STDERR_FILENO, err_file_.c_str(),
                                     O_WRONLY | O_CREAT | O_TRUNC, 0644);
    posix_spawn_file_actions_addchdir_np(&actions, options_.directory.c_str());
    std::vector<std::string> argv = options_.argv;
    std::vector<std::string> env = ChildEnvironment(options_.environment);
    auto argv_pointers = Pointers(argv);
    auto env_pointers = Pointers(env);
    if (::posix_spawn(&pid_, argv_pointers[0], &actions, nullptr, argv_pointers.data(),
                      env_pointers.data()) != 0) {
        pid_ = -1;
    }
    posix_spawn_file_actions_destroy(&actions);
    ::close(input[0]);
    input_ = input[1];
}

ChildProcess::~ChildProcess() {
    CloseInput();
    Kill();
}

void ChildProcess::Reap(bool block) {
    if (pid_ <= 0 || status_) {
        return;
    }
    int wait_status = 0;
    rusage usage{};
    const pid_t got = ::wait4(pid_, &wait_status, block ? 0 : WNOHANG, &usage);
    if (got == pid_) {
        status_ = StatusOf(wait_status);
        usage_ = usage;
    }
}

bool ChildProcess::Running() {
    Reap(false);
    return pid_ > 0 && !status_;
}

std::optional<int> ChildProcess::Wait(std::chrono::milliseconds bound) {
    WaitUntil([&] { return !Running(); }, bound);
    return status_;
}

void ChildProcess::Signal(int signal_number) {
    if (Running()) {
        ::kill(pid_, signal_number);
    }
}

void ChildProcess::Kill() {
    if (Running()) {
        ::kill(pid_, SIGKILL);
        Reap(true);
    }
}

bool ChildProcess::WriteInput(std::string_view bytes) {
    while (!bytes.empty() && input_ >= 0) {
        const ssize_t n = ::write(input_, bytes.data(), bytes.size());
        if (n <= 0) {
            return false;
        }
        bytes.remove_prefix(static_cast<size_t>(n));
    }
    return bytes.empty();
}

void ChildProcess::CloseInput() {
    if (input_ >= 0) {
        ::close(input_);
        input_ = -1;
    }
}

std::string ChildProcess::Output() const {
    return ReadWholeFile(out_file_);
}

std::string ChildProcess::ErrorOutput() const {
    return ReadWholeFile(err_file_);
}

bool ChildProcess::WaitForText(const std::filesystem::path& file, std::string_view text,
                               std::chrono::milliseconds bound) {
    auto found = [&] { return ReadWholeFile(file).find(text) != std::string::npos; };
    // Once the process has ended nothing more will be written: one last look decides.
    WaitUntil([&] { return found() || !Running(); }, bound);
    return found();
}

bool ChildProcess::WaitForOutput(std::string_view text, std::chrono::milliseconds bound) {
    return WaitForText(out_file_, text, bound);
}

bool ChildProcess::WaitForErrorOutput(std::string_view text, std::chrono::milliseconds bound) {
    return WaitForText(err_file_, text, bound);
}

std::chrono::microseconds ChildProcess::ProcessorTime() {
    if (Running()) {
        // Fields 14 and 15 of /proc/PID/stat, counted after the command's closing bracket
        // (the command name may hold spaces), are user and system time in clock ticks.
        const std::string stat = ReadWholeFile("/proc/" + std::to_string(pid_) + "/stat");
        const size_t bracket = stat.rfind(')');
        if (bracket != std::string::npos) {
            std::istringstream fields(stat.substr(bracket + 1));
            std::string field;
            unsigned long long user = 0;
            unsigned long long system = 0;
            for (int index = 3; index <= 15 && fields >> field; ++index) {
                if (index == 14) {
                    user = std::stoull(field);
                } else if (index == 15) {
                    system = std::stoull(field);
                }
            }
            const long ticks_per_second = ::sysconf(_SC_CLK_TCK);
            return std::chrono::microseconds((user + system) * 1'000'000ULL /
                                             static_cast<unsigned long long>(ticks_per_second));
        }
    }
    Reap(false);
    return Microseconds(usage_.ru_utime) + Microseconds(usage_.ru_stime);
}

std::string ChildProcess::Describe() const {
    std::string text = "command:";
    for (const auto& arg : options_.argv) {
        text += " " + arg;
    }
    text += "\nexit status: " + (status_ ? std::to_string(*status_) : std::string("running"));
    text += "\n--- standard output ---\n" + Output();
    text += "\n--- standard error ---\n" + ErrorOutput() + "\n";
    return text;
}

}  // namespace qorval::journeys
