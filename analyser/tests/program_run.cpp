#include "analyser/tests/program_run.h"

#include <signal.h>

#include <chrono>
#include <fstream>
#include <sstream>
#include <thread>

namespace qorval::analyser::testing {
namespace {

constexpr std::chrono::seconds kGenerousBound{20};
constexpr std::chrono::milliseconds kPollInterval{5};

std::string Contents(const std::filesystem::path& path) {
    std::ifstream in(path, std::ios::binary);
    std::ostringstream text;
    text << in.rdbuf();
    return text.str();
}

}  // namespace

ProgramRun::ProgramRun(std::vector<std::string> argv, const std::filesystem::path& folder)
    : out_(folder / "stdout.txt"),
      err_(folder / "stderr.txt"),
      program_(std::move(argv), out_, err_) {}

std::string ProgramRun::Output() const {
    return Contents(out_);
}

std::string ProgramRun::Errors() const {
    return Contents(err_);
}

bool ProgramRun::AwaitOutput(const std::function<bool(const std::string&)>& done) const {
    const auto end = std::chrono::steady_clock::now() + kGenerousBound;
    while (!done(Output())) {
        if (std::chrono::steady_clock::now() > end) {
            return false;
        }
        std::this_thread::sleep_for(kPollInterval);
    }
    return true;
}

int ProgramRun::Wait() {
    return program_.Wait(kGenerousBound);
}

int ProgramRun::Terminate() {
    program_.Signal(SIGTERM);
    return Wait();
}

}  // namespace qorval::analyser::testing
