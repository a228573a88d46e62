// lombex32: with no arguments (or only a file to open) the main window; with its flags
// (`lombex32 --capture ...`, see docs/analyser.md) a capture from the shell. Both load the port
// access library by its file name first; `lombex32 --decode FILE` decodes a saved capture and
// needs no library.
#include <sys/prctl.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <csignal>
#include <iostream>
#include <thread>

#include "analyser/headless.h"
#include "analyser/idle_rest.h"
#include "analyser/library/port_library.h"
#include "analyser/saved_capture_command.h"
#include "analyser/settings.h"
#include "platform/program_info.h"
#ifdef LOMBEX32_WINDOW
#include "analyser/window/shell/lombex32_window.h"
#endif

namespace {

std::atomic<bool> g_stop{false};

extern "C" void OnInterrupt(int) {
    g_stop.store(true, std::memory_order_relaxed);
}

[[maybe_unused]] bool WantsWindow(const std::vector<std::string>& args) {
    return args.empty() || !args.front().starts_with("--");
}

}  // namespace

int main(int argc, char** argv) {
    using namespace qorval::analyser;
    const qorval::platform::ProgramInfo program{
        .name = "lombex32",
        .summary = "The protocol analyser and link tester of the Qorval suite. With no arguments it "
                   "opens\nits window, a file argument opens that file as a text document, /p FILE "
                   "prints it\n(/pt FILE PRINTER on the printer named), --capture runs it from the "
                   "shell, --decode\ndecodes a saved capture and --replay puts the frames of a "
                   "capture file onto a port.",
        .usage = kHeadlessUsage};
    if (const auto status = AnswerInfoRequest(program, argc, argv, std::cout)) {
        return *status;
    }
    const std::vector<std::string> args(argv + 1, argv + argc);
#ifdef LOMBEX32_WINDOW
    if (WantsWindow(args)) {
        return RunAnalyserWindow(argc, argv);
    }
#endif
    if (AsksForSavedCapture(args)) {
        const auto saved = ParseSavedCaptureArguments(args);
        if (const auto* error = std::get_if<std::string>(&saved)) {
            std::cerr << *error;
            return 2;
        }
        return RunSavedCapture(std::get<SavedCaptureOptions>(saved), ProfilePath(), std::cout,
                               std::cerr);
    }
    const auto parsed = ParseHeadlessArguments(args);
    if (const auto* error = std::get_if<std::string>(&parsed)) {
        std::cerr << *error;
        return 2;
    }
    PortLibraryModule library;
    if (!library.Load()) {
        std::cerr << "lombex32: " << library.Error() << "\n";
        return 1;
    }
    UsePortLibrary(&library.Functions());
    std::signal(SIGINT, OnInterrupt);
    std::signal(SIGTERM, OnInterrupt);
    if (std::get<HeadlessOptions>(parsed).replayFile) {
        // A replay's sleeps end within a microsecond of their time rather than the default
        // 50 us later.
        (void)::prctl(PR_SET_TIMERSLACK, 1000UL, 0UL, 0UL, 0UL);
    }
    IdleRest idle([] { std::this_thread::sleep_for(std::chrono::milliseconds(1)); });
    const HeadlessEnvironment environment{
        ProfilePath(), &g_stop,
        // The library rests in a poll of a quiet port; the loop sleeps only where it cannot.
        [&idle](bool nothing) { idle.AfterPoll(nothing); },
        // The replay's clock is the steady clock; a rest ends at its time or, within 100 ms,
        // at SIGINT. It sleeps to a millisecond before the time and then yields the processor
        // until the time has come, so a frame is not held back by a late wake.
        nullptr, [](uint64_t untilNs) {
            using namespace std::chrono;
            const steady_clock::time_point until{nanoseconds(untilNs)};
            const auto latest = steady_clock::now() + milliseconds(100);
            std::this_thread::sleep_until(std::min(until - milliseconds(1), latest));
            while (steady_clock::now() < std::min(until, latest)) {
                std::this_thread::yield();
            }
        }};
    const int status =
        RunHeadless(std::get<HeadlessOptions>(parsed), environment, std::cout, std::cerr);
    UsePortLibrary(nullptr);
    return status;
}
