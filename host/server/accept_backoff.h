#pragma once
// When the host has no descriptor left, accept fails but the listening socket stays readable:
// waiting on it again at once would spin a core until a descriptor frees. The listener rests
// instead, 10 ms at first and twice as long after each such failure in a row, up to 1 s, while
// the established connections go on being served. The first accept that succeeds ends it.

#include <chrono>

namespace qorval::host {

// accept's errors that say the host (or the system) is out of descriptors or memory.
bool IsOutOfDescriptors(int error);

class AcceptBackoff {
  public:
    using Clock = std::chrono::steady_clock;
    static constexpr Clock::duration kFirstRest = std::chrono::milliseconds(10);
    static constexpr Clock::duration kLongestRest = std::chrono::seconds(1);

    // After an accept that failed with `error`: true when the listener rests from now on.
    bool Failed(int error, Clock::time_point now = Clock::now());
    void Succeeded();
    bool Resting(Clock::time_point now = Clock::now()) const { return now < until_; }
    // Milliseconds until the rest ends (rounded up), for a poll timeout; -1 when not resting.
    int RestLeftMs(Clock::time_point now = Clock::now()) const;

  private:
    Clock::duration next_rest_ = kFirstRest;
    Clock::time_point until_{};
};

}  // namespace qorval::host
