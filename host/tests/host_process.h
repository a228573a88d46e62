#pragma once
// The suite's programs run as child processes in a test's prefix (QORVAL_PREFIX is inherited):
// a long-running `wyvel32 run` whose output a test waits on and which it stops as a service
// manager would, and one-shot commands whose exit status and output a test checks.

#include <sys/types.h>

#include <string>
#include <vector>

namespace qorval::host::testing {

class HostProcess {
  public:
    // Starts `program` with `args`, its standard output on a pipe the test reads.
    HostProcess(const std::string& program, std::vector<std::string> args);
    ~HostProcess();  // kills the program if it still runs
    HostProcess(const HostProcess&) = delete;
    HostProcess& operator=(const HostProcess&) = delete;

    // Reads standard output until it holds `text`; false at its end or past the bound.
    bool AwaitOutput(const std::string& text);
    // Sends SIGTERM and waits for the exit; the exit status, or -1 when it did not end.
    int Terminate();

    bool started() const { return pid_ > 0; }
    const std::string& output() const { return output_; }

  private:
    pid_t pid_ = -1;
    int out_ = -1;
    std::string output_;
};

// What a one-shot run of a program gave.
struct ProgramRun {
    int status = -1;  // the exit status; 128 + the signal when a signal ended it
    std::string out;
    std::string err;
};

// Runs `program` with `args` to its end, collecting both outputs.
ProgramRun RunProgram(const std::string& program, const std::vector<std::string>& args);

}  // namespace qorval::host::testing
