// The command line's capture run against the fake library, its output and messages kept.
#pragma once

#include <atomic>
#include <cstdlib>
#include <filesystem>
#include <functional>
#include <sstream>
#include <string>
#include <vector>

#include "analyser/headless.h"
#include "analyser/tests/engine_fixture.h"

namespace qorval::analyser::testing {

class HeadlessTest : public EngineTest {
  protected:
    void SetUp() override {
        EngineTest::SetUp();
        Fake().SetAutoAdvanceMs(1);  // --seconds passes in virtual time
        // What the run says about a missing driver host looks at this prefix: none runs here.
        ::setenv("QORVAL_PREFIX", dir_.c_str(), 1);
        profile_ = dir_ / "lombex32.ini";
    }
    // `lombex32 --capture ARGS`: its exit status.
    int Run(std::vector<std::string> args) {
        args.insert(args.begin(), "--capture");
        const auto parsed = ParseHeadlessArguments(args);
        if (const auto* error = std::get_if<std::string>(&parsed)) {
            ADD_FAILURE() << *error;
            return -1;
        }
        const HeadlessEnvironment environment{profile_, &stop_, afterPoll_};
        return RunHeadless(std::get<HeadlessOptions>(parsed), environment, out_, err_);
    }
    std::string Path(const char* name) { return (dir_ / name).string(); }

    std::atomic<bool> stop_{false};
    std::function<void(bool idle)> afterPoll_;
    std::ostringstream out_, err_;
    std::filesystem::path profile_;
};

}  // namespace qorval::analyser::testing
