// A program of the suite run as a child process, as a user runs it from a shell: its standard
// output and error go to files the test reads while it runs.
#pragma once

#include <sys/types.h>

#include <filesystem>
#include <functional>
#include <string>
#include <vector>

namespace qorval::analyser::testing {

class ProgramRun {
  public:
    // Starts `argv` (the program's path first) with the environment of the test.
    ProgramRun(std::vector<std::string> argv, const std::filesystem::path& folder);
    // A program still running is killed.
    ~ProgramRun();
    ProgramRun(const ProgramRun&) = delete;
    ProgramRun& operator=(const ProgramRun&) = delete;

    bool Started() const { return pid_ > 0; }
    std::string Output() const;
    std::string Errors() const;
    // Polls the standard output until `done` holds for it; false when the program ended or the
    // generous bound passed first.
    bool AwaitOutput(const std::function<bool(const std::string&)>& done);
    // Sends SIGTERM (as Ctrl-C or a service manager would stop it), unless it ended already,
    // and returns the exit status, or -1 when it did not end within the bound.
    int Terminate();

  private:
    // True once the program has ended (its status then kept).
    bool Ended();

    pid_t pid_ = -1;
    int exitStatus_ = -1;
    std::filesystem::path out_;
    std::filesystem::path err_;
};

}  // namespace qorval::analyser::testing
