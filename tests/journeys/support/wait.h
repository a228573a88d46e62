// Waiting in tests for a condition: polled often, bounded generously. A bound that is reached is
// a failure to report, never the path a passing test takes.
#pragma once

#include <chrono>
#include <functional>
#include <thread>

namespace qorval::journeys {

inline constexpr std::chrono::milliseconds kGenerousBound{60'000};

// Polls `done` until it holds or `bound` has passed; its last answer.
inline bool WaitUntil(const std::function<bool()>& done,
                      std::chrono::milliseconds bound = kGenerousBound) {
    const auto deadline = std::chrono::steady_clock::now() + bound;
    while (!done()) {
        if (std::chrono::steady_clock::now() >= deadline) {
            return done();
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(5));
    }
    return true;
}

}  // namespace qorval::journeys
