#pragma once
// Starts a program with its standard input and output on pipes, for the far ends of transfers.

#include <sys/types.h>

#include <optional>
#include <string>
#include <vector>

#include "platform/testing/find_program.h"

namespace qorval::terminal::testing {

// The full path of an installed program of that name, or nullopt.
using qorval::testing::FindProgram;

struct PipedChild {
    pid_t pid = -1;       // -1 when it could not be started
    int toChild = -1;     // its standard input
    int fromChild = -1;   // its standard output
};

// Starts `argv` in `cwd` with its standard error into `errorPath` (created or emptied). Also
// makes SIGPIPE harmless, so a child that ended cannot take the caller down with it.
PipedChild StartPipedChild(std::vector<std::string> argv, const std::string& cwd,
                           const std::string& errorPath);

}  // namespace qorval::terminal::testing
