// vintor: the window when started without arguments, else the command line (terminal/vintor_cli.h).

#include <signal.h>
#include <unistd.h>

#include <iostream>
#include <string>
#include <vector>

#include "platform/program_info.h"
#include "terminal/vintor_cli.h"
#ifdef QORVAL_VINTOR_WINDOW
#include "terminal/window/run_vintor_window.h"
#endif

namespace {

std::atomic<qorval::terminal::CancelFlag*> g_interrupt_target{nullptr};

extern "C" void OnInterrupt(int) {
    if (auto* flag = g_interrupt_target.load()) {
        flag->store(true, std::memory_order_relaxed);
    }
}

}  // namespace

int main(int argc, char** argv) {
    using namespace qorval::terminal;
    const qorval::platform::ProgramInfo program{
        .name = "vintor",
        .summary = "The terminal of the Qorval suite, with XMODEM, XMODEM-1K, YMODEM and YMODEM-G "
                   "file\ntransfer. With no arguments it opens its window.",
        .usage = kVintorUsage};
    if (const auto status = AnswerInfoRequest(program, argc, argv, std::cout)) {
        return *status;
    }
#ifdef QORVAL_VINTOR_WINDOW
    if (argc <= 1) {
        return window::RunVintorWindow(argc, argv);
    }
#endif
    std::string error;
    const auto options = ParseVintorArgs({argv + 1, argv + argc}, error);
    if (!options) {
        std::cerr << "vintor: " << error << '\n' << kVintorUsage;
        return kExitUsage;
    }
    struct sigaction action {};
    action.sa_handler = &OnInterrupt;
    sigemptyset(&action.sa_mask);
    sigaction(SIGINT, &action, nullptr);
    sigaction(SIGTERM, &action, nullptr);
    return RunVintor(*options, STDIN_FILENO, std::cout, std::cerr, g_interrupt_target);
}
