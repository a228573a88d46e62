#pragma once
// Waiting on the workers in tests: the condition is polled, and the bound is only a generous
// guard against a hang, never a timing assertion.

#include <chrono>
#include <thread>

namespace qorval::bert::testing {

template <typename Condition>
bool WaitFor(Condition condition, std::chrono::seconds bound = std::chrono::seconds(60)) {
    const auto deadline = std::chrono::steady_clock::now() + bound;
    while (!condition()) {
        if (std::chrono::steady_clock::now() > deadline) {
            return false;
        }
        std::this_thread::yield();
    }
    return true;
}

}  // namespace qorval::bert::testing
