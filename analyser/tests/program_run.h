// lombex32 run from a shell as a child process (platform/testing/spawned_program.h), its
// standard output read while it runs.
#pragma once

#include <filesystem>
#include <functional>
#include <string>
#include <vector>

#include "platform/testing/spawned_program.h"

namespace qorval::analyser::testing {

class ProgramRun {
  public:
    // Starts `argv` (the program's path first); its output and errors go to files in `folder`.
    ProgramRun(std::vector<std::string> argv, const std::filesystem::path& folder);

    bool Started() const { return program_.Started(); }
    std::string Output() const;
    std::string Errors() const;
    // Polls the standard output until `done` holds for it; false when the generous bound
    // passed first.
    bool AwaitOutput(const std::function<bool(const std::string&)>& done) const;
    // The exit status of a run that ends by itself, or -1 when it did not end within the bound.
    int Wait();
    // Sends SIGTERM (as Ctrl-C or a service manager would stop it) and returns the exit
    // status, or -1 when it did not end within the bound.
    int Terminate();

  private:
    std::filesystem::path out_;
    std::filesystem::path err_;
    qorval::testing::SpawnedProgram program_;
};

}  // namespace qorval::analyser::testing
