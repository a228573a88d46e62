// kessup --port N [--seconds S] [--repeat] [--disk]

#include <atomic>
#include <chrono>
#include <csignal>
#include <iostream>
#include <thread>

#include "bert/kessup_run.h"

namespace {

std::atomic<bool> g_interrupted{false};

extern "C" void OnInterrupt(int) {
    g_interrupted.store(true);
}

// The window's 100 ms timer in real time; SIGINT ends the run at the next tick.
class RealTimeTicker : public qorval::bert::KessupTicker {
  public:
    bool WaitTick(const qorval::bert::BertSession&) override {
        std::this_thread::sleep_for(std::chrono::milliseconds(100));
        return !g_interrupted.load();
    }
};

}  // namespace

int main(int argc, char** argv) {
    std::string error;
    auto options = qorval::bert::ParseKessupArgs({argv + 1, argv + argc}, error);
    if (!options) {
        std::cerr << "kessup: " << error << '\n' << qorval::bert::kKessupUsage << '\n';
        return 2;
    }
    std::signal(SIGINT, OnInterrupt);
    RealTimeTicker ticker;
    return qorval::bert::RunKessup(*options, std::cout, ticker);
}
