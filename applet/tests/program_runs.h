// The configuration tool and the driver host as processes of their own, run by the journeys'
// process harness in the test's prefix (QORVAL_PREFIX, set by TemporaryPrefix, is inherited);
// their output files lie in a folder of the object's own.
#pragma once

#include <signal.h>

#include <memory>
#include <string>
#include <vector>

#include "platform/testing/temporary_directory.h"
#include "tests/journeys/support/child_process.h"
#include "tests/journeys/support/programs.h"

namespace qorval::applet::testing {

// What a one-shot run of a program gave.
struct ProgramRun {
    int status = -1;  // the exit status; 128 + the signal when a signal ended it
    std::string out;
    std::string err;
};

class ProgramRuns {
  public:
    // `qorval ARGS...` run to its end, with `environment` added to the inherited one.
    ProgramRun Qorval(const std::vector<std::string>& args,
                      const journeys::Environment& environment = {}) {
        return Run(QORVAL_PROGRAM, args, environment);
    }
    // `wyvel32 ARGS...` (a control command such as status) run to its end.
    ProgramRun Wyvel32(const std::vector<std::string>& args) {
        return Run(journeys::kWyvel32, args, {});
    }

    // `wyvel32 run` with two ports wired to each other; check Serving() before using it.
    std::unique_ptr<journeys::ChildProcess> StartHost() {
        return Start(
            {journeys::kWyvel32, "run", "--ports", "2", "--wire", "pair", "--rate", "unlimited"},
            {});
    }
    static bool Serving(journeys::ChildProcess& host) {
        return host.Started() && host.WaitForOutput("wyvel32: running");
    }
    // Stops the host as a service manager does; its exit status, or -1 when it did not end.
    static int Terminate(journeys::ChildProcess& host) {
        host.Signal(SIGTERM);
        return host.Wait().value_or(-1);
    }

  private:
    std::unique_ptr<journeys::ChildProcess> Start(std::vector<std::string> argv,
                                                  const journeys::Environment& environment) {
        return std::make_unique<journeys::ChildProcess>(journeys::ProcessOptions{
            std::move(argv), folder_.Path(), "run-" + std::to_string(++runs_), environment});
    }
    ProgramRun Run(const char* program, const std::vector<std::string>& args,
                   const journeys::Environment& environment) {
        std::vector<std::string> argv{program};
        argv.insert(argv.end(), args.begin(), args.end());
        const auto child = Start(std::move(argv), environment);
        ProgramRun run;
        run.status = child->Wait().value_or(-1);
        run.out = child->Output();
        run.err = child->ErrorOutput();
        return run;
    }

    qorval::testing::TemporaryDirectory folder_{"qorval_runs"};
    int runs_ = 0;
};

}  // namespace qorval::applet::testing
