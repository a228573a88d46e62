#pragma once
// Runs the simulated lines in real time inside the driver host: one thread steps every line
// up to the wall clock, holding the locks of the cards on it, and sleeps until the next
// scheduled event or until a card's lock reports that the driver changed the card (started
// DMA, say).

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <functional>
#include <mutex>
#include <thread>
#include <vector>

#include "host/bus/card_lock.h"
#include "sim/line.h"

namespace qorval::host {

class CardClock {
  public:
    struct RunLine {
        sim::Line* line = nullptr;
        std::vector<sim::SimCard*> cards;
        std::vector<std::function<void()>> interrupts;  // delivers each card's interrupt
        std::vector<CardLock*> locks;                   // in one global order (by address)
        std::chrono::steady_clock::time_point origin;   // real time of the line's virtual 0
    };

    CardClock() = default;
    ~CardClock() { Stop(); }
    CardClock(const CardClock&) = delete;
    CardClock& operator=(const CardClock&) = delete;

    void Start();
    void Stop();
    // Replaces the lines to run; returns once the thread no longer uses the old ones.
    void SetLines(std::vector<RunLine> lines);
    // Something changed on a card: step again now.
    void Wake();
    // Steps every line on the calling thread, runs what follows a round of steps, and wakes
    // the clock only when a line now has an event due before the clock means to look. The
    // caller holds no card lock and no lock of the driver.
    void StepNow();
    // StepNow, when an event of a line was due by now as of the last step (so it costs a
    // clock read when nothing is).
    void StepIfDue();
    // Runs after every round of steps, holding no card lock (the kernel's queued DPCs).
    void SetAfterSteps(std::function<void()> after_steps);

  private:
    void Loop();
    std::chrono::steady_clock::time_point StepAll();

    std::mutex lines_lock_;  // held while stepping, so SetLines waits for the step to end
    std::vector<RunLine> lines_;
    std::function<void()> after_steps_;  // set before Start

    std::mutex wake_lock_;  // only ever held briefly: Wake() is called from inside steps
    std::condition_variable wake_;
    bool woken_ = false;
    bool stopping_ = false;
    bool running_ = false;  // between Start and Stop
    // When the clock thread looks next: the earliest possible instant while it steps.
    std::chrono::steady_clock::time_point looks_at_ = std::chrono::steady_clock::time_point::min();
    // The earliest event of any line as the last step found it (steady clock, nanoseconds):
    // what StepIfDue compares with. Written under lines_lock_, read without it.
    std::atomic<int64_t> due_{0};
    std::thread thread_;
};

}  // namespace qorval::host
