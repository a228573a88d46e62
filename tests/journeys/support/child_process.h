// A program run by a test as a process of its own: its arguments and environment, standard
// input on a pipe the test holds, standard output and error kept in files, its exit status
// awaited with a bound, and the processor time it used.
#pragma once

#include <sys/resource.h>
#include <sys/types.h>

#include <chrono>
#include <filesystem>
#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "tests/journeys/support/wait.h"

namespace qorval::journeys {

// Variables set (or replaced) in the child's environment; the rest is inherited.
using Environment = std::vector<std::pair<std::string, std::string>>;

struct ProcessOptions {
    std::vector<std::string> argv;    // argv[0] is the program's path
    std::filesystem::path directory;  // its working directory; the output files go there
    std::string name;                 // stem of the output files: name.out, name.err
    Environment environment;
};

class ChildProcess {
  public:
    // Starts the program at once; Started() says whether that worked.
    explicit ChildProcess(ProcessOptions options);
    // A child still running is killed with SIGKILL and reaped.
    ~ChildProcess();
    ChildProcess(const ChildProcess&) = delete;
    ChildProcess& operator=(const ChildProcess&) = delete;

    bool Started() const { return pid_ > 0; }
    pid_t Pid() const { return pid_; }
    // True until the process has ended (it is reaped as soon as it is seen to have ended).
    bool Running();
    // Waits for the end: the exit code, 128 + the signal's number when a signal ended it, or
    // nullopt when it still runs at the bound.
    std::optional<int> Wait(std::chrono::milliseconds bound = kGenerousBound);
    std::optional<int> ExitStatus() const { return status_; }

    void Signal(int signal_number);
    // SIGKILL, then reaped.
    void Kill();

    // Standard input: a pipe that stays open until CloseInput or the end of the object.
    bool WriteInput(std::string_view bytes);
    void CloseInput();

    std::string Output() const;
    std::string ErrorOutput() const;
    // Waits until standard output (or error) holds `text`; false at the bound or when the
    // process ended without writing it.
    bool WaitForOutput(std::string_view text, std::chrono::milliseconds bound = kGenerousBound);
    bool WaitForErrorOutput(std::string_view text,
                            std::chrono::milliseconds bound = kGenerousBound);

    // User plus system processor time so far: read from /proc while the process runs, from
    // its resource usage once it has ended.
    std::chrono::microseconds ProcessorTime();

    // The command line, the exit status and both outputs, for a failing check's message.
    std::string Describe() const;

  private:
    bool WaitForText(const std::filesystem::path& file, std::string_view text,
                     std::chrono::milliseconds bound);
    // Reaps the process if it has ended; blocks when `block`.
    void Reap(bool block);

    ProcessOptions options_;
    std::filesystem::path out_file_;
    std::filesystem::path err_file_;
    pid_t pid_ = -1;
    int input_ = -1;
    std::optional<int> status_;
    rusage usage_{};
};

// The whole content of a file ("" when it cannot be read).
std::string ReadWholeFile(const std::filesystem::path& path);

}  // namespace qorval::journeys
