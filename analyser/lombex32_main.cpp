// lombex32 from a shell: `lombex32 --capture ...` (see docs/analyser.md).
#include <atomic>
#include <csignal>
#include <iostream>
#include <thread>

#include "analyser/headless.h"
#include "analyser/settings.h"

namespace {

std::atomic<bool> g_stop{false};

extern "C" void OnInterrupt(int) {
    g_stop.store(true, std::memory_order_relaxed);
}

}  // namespace

int main(int argc, char** argv) {
    using namespace qorval::analyser;
    const std::vector<std::string> args(argv + 1, argv + argc);
    const auto parsed = ParseHeadlessArguments(args);
    if (const auto* error = std::get_if<std::string>(&parsed)) {
        std::cerr << *error;
        return 2;
    }
    std::signal(SIGINT, OnInterrupt);
    std::signal(SIGTERM, OnInterrupt);
    const HeadlessEnvironment environment{
        ProfilePath(), &g_stop,
        // Nothing was waiting: give the processor away briefly instead of spinning.
        [] { std::this_thread::sleep_for(std::chrono::milliseconds(1)); }};
    return RunHeadless(std::get<HeadlessOptions>(parsed), environment, std::cout, std::cerr);
}
