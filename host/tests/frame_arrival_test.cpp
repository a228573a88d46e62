// The time a frame arrived, as a read through the library gives it: the moment its closing
// flag reached the port on the card's line, however long the frame then waited in card memory;
// frames queued back to back arrive exactly one line time apart.

#include <gtest/gtest.h>

#include <chrono>
#include <thread>

#include "host/tests/host_fixture.h"

namespace qorval::host::testing {
namespace {

uint64_t SystemNowNs() {
    using namespace std::chrono;
    return static_cast<uint64_t>(
        duration_cast<nanoseconds>(system_clock::now().time_since_epoch()).count());
}

class FrameArrivalTest : public HostTest {
  protected:
    void OpenPair(BusOptions options) {
        StartHost(options);
        one_ = std::make_unique<LibraryPort>(1);
        two_ = std::make_unique<LibraryPort>(2);
        ASSERT_EQ(one_->open_result(), 0u);
        ASSERT_EQ(two_->open_result(), 0u);
    }
    void TearDown() override {
        one_.reset();
        two_.reset();
        HostTest::TearDown();
    }
    std::unique_ptr<LibraryPort> one_, two_;
};

TEST_F(FrameArrivalTest, AFrameCarriesTheTimeItArrivedNotTheTimeItWasRead) {
    OpenPair(PairAtUnlimitedRate());
    const auto frame = PatternFrame(64, 1);
    const uint64_t before = SystemNowNs();
    ASSERT_EQ(QORVAL_PutData(one_->handle(), frame.data(), 64), 0u);
    ASSERT_TRUE(WaitFor([&] { return two_->FramesWaiting() == 1; }));
    const uint64_t seen = SystemNowNs();
    // The frame waits in card memory, as it does behind a busy tool or a modal dialog.
    std::this_thread::sleep_for(std::chrono::milliseconds(30));
    std::vector<uint8_t> got;
    uint64_t arrival = 0;
    ASSERT_EQ(two_->AwaitFrame(got, 4096, &arrival), 0u);
    const uint64_t read = SystemNowNs();
    EXPECT_EQ(got, frame);
    EXPECT_GE(arrival, before);
    EXPECT_LE(arrival, seen);
    EXPECT_GE(read - arrival, 30'000'000u);

    // Reads that take no frame give no time.
    uint32_t length = 1;
    EXPECT_EQ(QORVAL_GetDataTimed(two_->handle(), got.data(), 4096, &length, &arrival), 0u);
    EXPECT_EQ(length, 0u);
    EXPECT_EQ(arrival, 0u);
}

TEST_F(FrameArrivalTest, FramesQueuedBackToBackArriveOneLineTimeApart) {
    OpenPair(BusOptions{});  // a pair at the rate the ports' clock programme gives
    const sim::SimCard* card = host().bus().CardOfPort(1);
    ASSERT_NE(card, nullptr);
    constexpr int kFrames = 6;
    std::vector<std::vector<uint8_t>> frames;
    for (int i = 0; i < kFrames; ++i) {
        frames.push_back(PatternFrame(200 + 10 * i, i));
        ASSERT_EQ(QORVAL_PutData(one_->handle(), frames.back().data(),
                                 static_cast<uint32_t>(frames.back().size())),
                  0u);
    }
    std::vector<uint64_t> arrivals(kFrames);
    for (int i = 0; i < kFrames; ++i) {
        std::vector<uint8_t> got;
        ASSERT_EQ(two_->AwaitFrame(got, 4096, &arrivals[i]), 0u) << i;
        ASSERT_EQ(got, frames[i]) << i;
    }
    // Each frame starts when the one before it has left: never sooner, and exactly then when
    // it was queued in time (the frames take milliseconds each at this rate, the queueing
    // microseconds). The times are the line's to well within a microsecond.
    int backToBack = 0;
    for (int i = 1; i < kFrames; ++i) {
        const int64_t gap = static_cast<int64_t>(arrivals[i] - arrivals[i - 1]);
        const auto line = static_cast<int64_t>(card->FrameNanosecondsOnLine(frames[i]));
        ASSERT_GT(line, 1'000'000) << "the line is slower than this test assumes";
        EXPECT_GE(gap, line - 1000) << i;
        backToBack += std::abs(gap - line) <= 1000 ? 1 : 0;
    }
    EXPECT_GE(backToBack, kFrames - 2);
}

}  // namespace
}  // namespace qorval::host::testing
