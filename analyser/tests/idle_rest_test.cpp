#include "analyser/idle_rest.h"

#include <gtest/gtest.h>

namespace qorval::analyser {
namespace {

// A loop's polls on a clock of the test's own: each poll takes `pollNs` before AfterPoll.
class IdleRestTest : public ::testing::Test {
  protected:
    void Polls(uint32_t count, bool idle, int64_t pollNs) {
        for (uint32_t i = 0; i < count; ++i) {
            nowNs_ += pollNs;
            rest_.AfterPoll(idle);
        }
    }

    int64_t nowNs_ = 1'000'000'000;
    uint32_t sleeps_ = 0;
    IdleRest rest_{[this] { ++sleeps_; }, [this] { return nowNs_; }};
};

constexpr int64_t kRestedPollNs = 20'000'000;  // the library's rest on a quiet port
constexpr int64_t kQuickPollNs = 30'000;       // a request answered at once

TEST_F(IdleRestTest, EmptyPollsTheLibraryRestedInNeverSleep) {
    Polls(10 * IdleRest::kQuickPolls, true, kRestedPollNs);
    EXPECT_EQ(sleeps_, 0u);
    EXPECT_FALSE(rest_.Sleeping());
}

TEST_F(IdleRestTest, QuickEmptyPollsSleepAfterEachUntilAPollFindsSomething) {
    Polls(IdleRest::kQuickPolls, true, kQuickPollNs);
    EXPECT_EQ(sleeps_, 0u) << "a short run of quick empty polls is a line between frames";
    Polls(1, true, kQuickPollNs);
    EXPECT_EQ(sleeps_, 1u);
    Polls(5, true, kQuickPollNs);
    EXPECT_EQ(sleeps_, 6u);

    Polls(1, false, kQuickPollNs);  // a frame: no sleep, and the next empty polls spin again
    Polls(IdleRest::kQuickPolls, true, kQuickPollNs);
    EXPECT_EQ(sleeps_, 6u);
    EXPECT_FALSE(rest_.Sleeping());
}

TEST_F(IdleRestTest, QuickEmptyPollsBetweenFramesOfABusyLineNeverSleep) {
    // Between two frames at line rate the library answers one empty poll at once and rests in
    // the next until the frame comes: every poll is quick, but the runs are short.
    for (uint32_t frame = 0; frame < 100 * IdleRest::kQuickPolls; ++frame) {
        Polls(2, true, kQuickPollNs);
        Polls(1, false, kQuickPollNs);
    }
    EXPECT_EQ(sleeps_, 0u);
}

TEST_F(IdleRestTest, ARunWithSomeRestedPollsIsNotSpinning) {
    // Slow on average: the library rested in part of the run.
    for (uint32_t i = 0; i < 4 * IdleRest::kQuickPolls; ++i) {
        Polls(1, true, i % 8 == 0 ? kRestedPollNs : kQuickPollNs);
    }
    EXPECT_EQ(sleeps_, 0u);
}

}  // namespace
}  // namespace qorval::analyser
