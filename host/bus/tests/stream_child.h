#pragma once
// A program started for a test in its own folder, its standard error kept in a file there.

#include <sys/types.h>

#include <optional>
#include <string>
#include <vector>

#include "platform/testing/find_program.h"

namespace qorval::host::testing {

// The full path of an installed program of that name, or nullopt.
using qorval::testing::FindProgram;

class Child {
  public:
    Child(std::vector<std::string> argv, const std::string& cwd);
    ~Child();  // a child still running is killed
    Child(const Child&) = delete;
    Child& operator=(const Child&) = delete;

    bool Started() const { return pid_ > 0; }
    // The exit status once it ended by itself within `seconds`; -1 when it had to be killed.
    int Wait(int seconds);
    std::string ErrorOutput() const;
    bool WaitForErrorText(const std::string& text, int seconds) const;

  private:
    void Kill();
    std::string error_file_;
    pid_t pid_ = -1;
};

}  // namespace qorval::host::testing
