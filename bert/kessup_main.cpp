// kessup: without arguments the window "Kessup"; with them the test on the command line,
//   kessup --port N [--seconds S] [--repeat] [--disk]

#include <atomic>
#include <chrono>
#include <csignal>
#include <iostream>
#include <thread>

#include "bert/kessup_run.h"
#include "platform/program_info.h"
#ifdef KESSUP_WITH_WINDOW
#include "bert/window/kessup_window_app.h"
#endif

namespace {

std::atomic<bool> g_interrupted{false};

extern "C" void OnInterrupt(int) {
    g_interrupted.store(true);
}

// The window's 100 ms timer in real time; SIGINT or SIGTERM ends the run at the next tick.
class RealTimeTicker : public qorval::bert::KessupTicker {
  public:
    bool WaitTick(const qorval::bert::BertSession&) override {
        std::this_thread::sleep_for(std::chrono::milliseconds(100));
        return !g_interrupted.load();
    }
};

}  // namespace

constexpr qorval::platform::ProgramInfo kProgram{
    .name = "kessup",
    .summary = "The bit error rate tester of the Qorval suite. With no arguments it opens its "
               "window;\nwith --port it tests that port from the shell.",
    .usage = qorval::bert::kKessupUsage};

int main(int argc, char** argv) {
    if (const auto status = AnswerInfoRequest(kProgram, argc, argv, std::cout)) {
        return *status;
    }
#ifdef KESSUP_WITH_WINDOW
    if (argc == 1) {
        return qorval::bert::window::RunKessupWindow(argc, argv);
    }
#endif
    std::string error;
    auto options = qorval::bert::ParseKessupArgs({argv + 1, argv + argc}, error);
    if (!options) {
        std::cerr << "kessup: " << error << '\n' << qorval::bert::kKessupUsage << '\n';
        return 2;
    }
    std::signal(SIGINT, OnInterrupt);
    std::signal(SIGTERM, OnInterrupt);
    RealTimeTicker ticker;
    return qorval::bert::RunKessup(*options, std::cout, ticker);
}
