#pragma once
// What a capture loop does after each poll step, so that an idle analyser uses next to no
// processor and a busy one takes every frame as soon as it comes.
//
// On a handle whose requests travel on the request ring, the port library rests inside a poll
// of a quiet port itself: it sleeps on the host's published counts until anything changes on
// the port, at most 20 ms (docs/request-transport.md, "Resting on a quiet port"), and wakes at
// once when a frame comes. A loop that polls again straight away then costs nothing, and a
// sleep of its own would only hold frames back while the port's receive ring fills (100
// frames last 2.8 ms at 20 Mbit/s). So the loop does not sleep while its empty polls are slow
// (the library rested in them).
//
// Where the library cannot rest (a handle whose requests travel as messages, with a host that
// could not make a ring), empty polls come back at once, one after another. Once kQuickPolls of
// them in a row have averaged under kQuickPoll each, the loop sleeps `sleep` (1 ms in the
// programs) after every empty poll, until a poll finds something, as it always did.

#include <chrono>
#include <cstdint>
#include <functional>

namespace qorval::analyser {

class IdleRest {
  public:
    static constexpr uint32_t kQuickPolls = 32;
    static constexpr std::chrono::microseconds kQuickPoll{200};

    // `nowNs` is a steady clock in nanoseconds (null: std::chrono::steady_clock).
    explicit IdleRest(std::function<void()> sleep, std::function<int64_t()> nowNs = nullptr);

    // After a poll step; `idle` when it found nothing to do.
    void AfterPoll(bool idle);
    // Whether empty polls are followed by a sleep now.
    bool Sleeping() const { return sleeping_; }

  private:
    int64_t Now() const;

    std::function<void()> sleep_;
    std::function<int64_t()> nowNs_;
    bool sleeping_ = false;
    uint32_t streak_ = 0;  // empty polls in a row, while not sleeping
    int64_t streakStartNs_ = 0;
};

}  // namespace qorval::analyser
