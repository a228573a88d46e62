#include "host/protocol/spin_wait.h"

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <thread>

namespace qorval::protocol {
namespace {

using Clock = std::chrono::steady_clock;
constexpr auto kBudget = std::chrono::microseconds(50);

TEST(YieldUntilTest, SeesAnAnswerFromAnotherThreadAndGivesUpOnceItsBudgetIsSpent) {
    // The answer may come late on a loaded machine; the wait is then tried again, as the
    // ring's sides do before they sleep.
    std::atomic<bool> answered{false};
    std::thread other([&] { answered = true; });
    const auto deadline = Clock::now() + std::chrono::seconds(30);
    bool seen = false;
    while (!seen && Clock::now() < deadline) {
        seen = YieldUntil([&] { return answered.load(); }, kBudget);
    }
    other.join();
    EXPECT_TRUE(seen);

    const auto start = Clock::now();
    EXPECT_FALSE(YieldUntil([] { return false; }, kBudget));
    EXPECT_GE(Clock::now() - start, kBudget);
}

}  // namespace
}  // namespace qorval::protocol
