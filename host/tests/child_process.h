#pragma once
// A program in a child process, for the tests that run the real programs (the driver host, a
// helper acting as another user): its standard output and error on one pipe the test reads,
// its standard input on another (closing it tells a helper that waits on it to end).

#include <sys/types.h>

#include <string>
#include <vector>

namespace qorval::host::testing {

class ChildProcess {
  public:
    explicit ChildProcess(std::vector<std::string> argv);
    ~ChildProcess();  // a child still running is killed
    ChildProcess(const ChildProcess&) = delete;
    ChildProcess& operator=(const ChildProcess&) = delete;

    bool started() const { return pid_ > 0; }
    pid_t pid() const { return pid_; }
    // Reads the output until it holds `text`; false at its end or past the generous bound.
    bool AwaitOutput(const std::string& text);
    void CloseInput();
    // Waits for the exit (reading the output meanwhile): its status, 128 + the signal for a
    // child a signal ended, -1 when it did not end within the generous bound.
    int Wait();
    // SIGTERM, then Wait.
    int Terminate();
    const std::string& output() const { return output_; }

  private:
    // Reads what is there within `timeout_ms`; false at the end of the output.
    bool ReadSome(int timeout_ms);

    pid_t pid_ = -1;
    int in_ = -1;
    int out_ = -1;
    std::string output_;
};

struct Finished {
    int status = -1;
    std::string output;
};

// Runs `argv` to its end.
Finished RunToEnd(std::vector<std::string> argv);

}  // namespace qorval::host::testing
