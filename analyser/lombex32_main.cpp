// lombex32: with no arguments (or only a file to open) the main window; with its flags
// (`lombex32 --capture ...`, see docs/analyser.md) a capture from the shell. Both load the port
// access library by its file name first; `lombex32 --decode FILE` decodes a saved capture and
// needs no library.
#include <atomic>
#include <csignal>
#include <iostream>
#include <thread>

#include "analyser/headless.h"
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
                   "prints it\n(/pt FILE PRINTER on the printer named), and --capture runs it from "
                   "the shell.",
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
    const HeadlessEnvironment environment{
        ProfilePath(), &g_stop,
        // Nothing was waiting: give the processor away briefly instead of spinning.
        [] { std::this_thread::sleep_for(std::chrono::milliseconds(1)); }};
    const int status =
        RunHeadless(std::get<HeadlessOptions>(parsed), environment, std::cout, std::cerr);
    UsePortLibrary(nullptr);
    return status;
}
