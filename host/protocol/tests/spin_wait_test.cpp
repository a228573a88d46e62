#include "host/protocol/spin_wait.h"

#include <gtest/gtest.h>

#include <chrono>

namespace qorval::protocol {
namespace {

using std::chrono::microseconds;
using Clock = std::chrono::steady_clock;

constexpr auto kLongestPause = microseconds(2);
constexpr auto kBudget = microseconds(50);

// An answer that comes on the second look: within the first pauses, before any yield.
bool AnsweredWhilePausing(SpinWait& spin) {
    int looks = 0;
    return spin.Until([&] { return ++looks >= 2; });
}

// An answer that comes only once the pause is long over (or, on a busy machine, a wait that
// outlasts the budget): either way the pause was wasted.
void AnsweredLate(SpinWait& spin) {
    const auto ready = Clock::now() + microseconds(20);
    (void)spin.Until([&] { return Clock::now() >= ready; });
}

TEST(SpinWaitTest, LateAnswersShortenThePauseAndPromptOnesGrowItBack) {
    SpinWait spin(kLongestPause, kBudget);
    EXPECT_EQ(spin.PauseFor(), kLongestPause);
    for (int i = 0; i < 8; ++i) {
        AnsweredLate(spin);
    }
    EXPECT_LT(spin.PauseFor(), microseconds(1));
    EXPECT_GT(spin.PauseFor(), std::chrono::nanoseconds(0))
        << "a pause of none would never see a prompt answer again";
    for (int i = 0; i < 8; ++i) {
        ASSERT_TRUE(AnsweredWhilePausing(spin));
    }
    EXPECT_EQ(spin.PauseFor(), kLongestPause);
}

TEST(SpinWaitTest, GivesUpOnceItsBudgetIsSpent) {
    SpinWait spin(kLongestPause, kBudget);
    const auto start = Clock::now();
    EXPECT_FALSE(spin.Until([] { return false; }));
    EXPECT_GE(Clock::now() - start, kBudget);
}

}  // namespace
}  // namespace qorval::protocol
