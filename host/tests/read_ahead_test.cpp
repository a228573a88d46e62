// Frames the host takes for a reader before it reads them, through the library across a pair
// of an in-process host: a reader that is away while more frames arrive than its port has
// receive buffers still gets every one, in order and whole, with counts that include them;
// whatever empties the port's receive buffers takes the held frames with it.

#include <gtest/gtest.h>

#include <atomic>
#include <functional>
#include <string>
#include <thread>

#include "driver/ntstatus.h"
#include "host/protocol/counts_block.h"
#include "host/protocol/frames_ahead.h"
#include "host/tests/host_fixture.h"

namespace qorval::host::testing {
namespace {

constexpr uint16_t kFrameSize = 64;
constexpr uint16_t kReadSize = 4096;

class ReadAheadTest : public HostTest {
  protected:
    // Opens the pair; port 2 reads once, finding nothing, as a reader that polls does before
    // it goes away: its reads' length is what the host takes frames with.
    void OpenPairAndPollOnce() {
        one_ = std::make_unique<LibraryPort>(1);
        two_ = std::make_unique<LibraryPort>(2);
        ASSERT_EQ(one_->open_result(), 0u);
        ASSERT_EQ(two_->open_result(), 0u);
        uint32_t length = 1;
        ASSERT_EQ(QORVAL_GetData(two_->handle(), buffer_.data(), kReadSize, &length), 0u);
        ASSERT_EQ(length, 0u);
    }
    void TearDown() override {
        one_.reset();
        two_.reset();
        HostTest::TearDown();
    }
    // Sends frames `first` .. `first + count - 1` from port 1 (each as soon as a transmit
    // buffer is free) and waits until port 2 counts them all.
    void SendToPortTwo(uint32_t first, uint16_t count) {
        const uint16_t before = two_->FramesWaiting();
        for (uint32_t i = first; i < first + count; ++i) {
            const auto frame = PatternFrame(kFrameSize, i);
            ASSERT_TRUE(WaitFor([&] {
                return QORVAL_PutData(one_->handle(), frame.data(), kFrameSize) == 0u;
            })) << "frame "
                << i;
        }
        ASSERT_TRUE(WaitFor([&] { return two_->FramesWaiting() == before + count; }))
            << two_->FramesWaiting() << " of " << before + count;
    }
    // Reads the next frame on port 2: its result, and its bytes in `got`.
    uint32_t ReadOnPortTwo(std::vector<uint8_t>& got, uint16_t size = kReadSize) {
        uint32_t length = 0;
        const uint32_t result = QORVAL_GetData(two_->handle(), buffer_.data(), size, &length);
        got.assign(buffer_.begin(), buffer_.begin() + length);
        return result;
    }

    std::unique_ptr<LibraryPort> one_;
    std::unique_ptr<LibraryPort> two_;
    std::vector<uint8_t> buffer_ = std::vector<uint8_t>(kReadSize);
};

TEST_F(ReadAheadTest, AReaderAwayForMoreFramesThanItsBuffersGetsEveryOneInOrder) {
    StartHost();
    OpenPairAndPollOnce();
    // Two and a half times the port's 100 receive buffers, with nobody reading.
    constexpr uint16_t kFrames = 250;
    SendToPortTwo(0, kFrames);
    PortState state{};
    ASSERT_EQ(QORVAL_GetPortState(two_->handle(), &state), 0u);
    EXPECT_EQ(state.rxFrames, kFrames);
    EXPECT_EQ(state.overruns, 0u);

    // A buffer too small for the next frame leaves it first in line, as the driver does.
    std::vector<uint8_t> got;
    EXPECT_EQ(ReadOnPortTwo(got, kFrameSize - 1), uint32_t{QORVAL_BUFFER_ERROR});
    EXPECT_TRUE(got.empty());
    EXPECT_EQ(two_->FramesWaiting(), kFrames);

    for (uint32_t i = 0; i < kFrames; ++i) {
        ASSERT_EQ(ReadOnPortTwo(got), 0u) << "frame " << i;
        ASSERT_EQ(got, PatternFrame(kFrameSize, i)) << "frame " << i;
        ASSERT_EQ(two_->FramesWaiting(), kFrames - i - 1) << "after frame " << i;
    }
    EXPECT_EQ(ReadOnPortTwo(got), 0u);
    EXPECT_TRUE(got.empty());
}

// A handle that only reads (a capture) has each frame taken as it comes, so its reads never
// wait in the driver; once it has written, frames stay in the driver until four wait, and a
// client that keeps up reads them from there itself. Seen on a raw client of the ring: the
// area's tail, and the driver's own count that the host publishes beside it.
TEST_F(ReadAheadTest, AHandleThatOnlyReadsHasEachFrameTakenAsItComesUntilItWrites) {
    StartHost();
    one_ = std::make_unique<LibraryPort>(1);
    ASSERT_EQ(one_->open_result(), 0u);
    RawClient two;
    ASSERT_EQ(two.Open(2, true, true), wyvel32::STATUS_SUCCESS);
    ASSERT_NE(two.ring(), nullptr);
    const protocol::ring::RingView view = two.ring()->view();
    const protocol::ring::AheadView area(view);
    const auto taken = [&] { return protocol::ring::Load(area.header().tail); };
    const auto in_driver = [&] {
        protocol::ring::CountsLook look;
        return protocol::ring::LookAtCounts(view, look) && look.valid
                   ? int{static_cast<uint16_t>(look.counts & 0xFFFF)}
                   : -1;
    };
    const auto send = [&](uint32_t number) {
        const auto frame = PatternFrame(kFrameSize, number);
        ASSERT_EQ(QORVAL_PutData(one_->handle(), frame.data(), kFrameSize), 0u);
    };
    // A read that finds nothing: its length is what the host takes frames with.
    two.SubmitOnRing(0, protocol::Function::Read, 0, kReadSize);
    ASSERT_TRUE(two.AwaitOnRing(0));

    send(0);
    EXPECT_TRUE(WaitFor([&] { return taken() == 1 && in_driver() == 0; }))
        << taken() << " taken, " << in_driver() << " in the driver";

    two.SubmitOnRing(1, protocol::Function::Write, 0, 0, PatternFrame(kFrameSize, 1000));
    ASSERT_TRUE(two.AwaitOnRing(1));
    ASSERT_EQ(protocol::ring::Load(view.slot(1).status), wyvel32::STATUS_SUCCESS);
    send(1);
    // Counts that show the second frame are published after the host chose not to take it.
    ASSERT_TRUE(WaitFor([&] { return in_driver() == 1; })) << in_driver() << " in the driver";
    EXPECT_EQ(taken(), 1u);
}

// Frames taken ahead while the card keeps storing more and the reader reads: the driver may
// serve a take on the thread of a DPC that came to serve reads at that moment, and the reader's
// own reads meet the takes; nothing is lost or reordered. The line has no flow control, so the
// sender stays at most kAhead frames ahead of the reader, within the port's 100 receive
// buffers: a frame lost would be the host's fault.
TEST_F(ReadAheadTest, AStreamReadWhileItArrivesComesWholeAndInOrder) {
    StartHost();
    OpenPairAndPollOnce();
    constexpr uint32_t kFrames = 5000;
    constexpr uint32_t kAhead = 64;
    std::atomic<uint32_t> read{0};
    std::atomic<bool> reader_gone{false};
    std::thread sender([&] {
        for (uint32_t i = 0; i < kFrames && !reader_gone.load(); ++i) {
            const auto frame = PatternFrame(kFrameSize, i);
            const bool sent = WaitFor([&] {
                return reader_gone.load() ||
                       (i - read.load() < kAhead &&
                        QORVAL_PutData(one_->handle(), frame.data(), kFrameSize) == 0u);
            });
            EXPECT_TRUE(sent) << "frame " << i;
            if (!sent) {
                return;
            }
        }
    });
    // The sender is told and joined however the reading below ends.
    struct Joined {
        std::thread& thread;
        std::atomic<bool>& gone;
        ~Joined() {
            gone = true;
            thread.join();
        }
    } joined{sender, reader_gone};
    std::vector<uint8_t> got;
    for (uint32_t i = 0; i < kFrames; ++i) {
        ASSERT_EQ(two_->AwaitFrame(got), 0u) << "frame " << i;
        ASSERT_EQ(got, PatternFrame(kFrameSize, i)) << "frame " << i;
        read = i + 1;
    }
    PortState state{};
    ASSERT_EQ(QORVAL_GetPortState(two_->handle(), &state), 0u);
    EXPECT_EQ(state.rxFrames, kFrames);
}

// What empties the port's receive buffers, and whether the port is stopped meanwhile.
struct DropCase {
    const char* name;
    std::function<void(QORVAL_HANDLE)> empty;
};

class HeldFramesDropTest : public ReadAheadTest, public ::testing::WithParamInterface<DropCase> {};

TEST_P(HeldFramesDropTest, HeldFramesGoWithTheReceiveBuffers) {
    StartHost();
    OpenPairAndPollOnce();
    SendToPortTwo(0, 150);  // more than the receive buffers: some are held by the host
    GetParam().empty(two_->handle());
    EXPECT_EQ(two_->FramesWaiting(), 0);
    std::vector<uint8_t> got;
    EXPECT_EQ(ReadOnPortTwo(got), 0u);
    EXPECT_TRUE(got.empty()) << "a frame from before came back";
    // The next frame is the new one.
    const auto frame = PatternFrame(kFrameSize, 1000);
    ASSERT_EQ(QORVAL_PutData(one_->handle(), frame.data(), kFrameSize), 0u);
    ASSERT_EQ(two_->AwaitFrame(got), 0u);
    EXPECT_EQ(got, frame);
}

INSTANTIATE_TEST_SUITE_P(
    Causes, HeldFramesDropTest,
    ::testing::Values(DropCase{"ResetOfTheReceiveBuffers",
                               [](QORVAL_HANDLE handle) {
                                   ASSERT_EQ(QORVAL_ResetBuffers(handle, QORVAL_RESET_RECEIVE), 0u);
                               }},
                      DropCase{"ResetOfBoth",
                               [](QORVAL_HANDLE handle) {
                                   ASSERT_EQ(QORVAL_ResetBuffers(handle, QORVAL_RESET_BOTH), 0u);
                               }},
                      DropCase{"NewPortState",
                               [](QORVAL_HANDLE handle) {
                                   PortState state{};
                                   ASSERT_EQ(QORVAL_GetPortState(handle, &state), 0u);
                                   ASSERT_EQ(QORVAL_SetPortState(handle, &state), 0u);
                               }}),
    [](const ::testing::TestParamInfo<DropCase>& info) { return std::string(info.param.name); });

// The driver holds reads back while its device sleeps and lets them go when it wakes, in
// order: a read made meanwhile gets the first frame held, and the rest follow.
TEST_F(ReadAheadTest, HeldFramesWaitOutASleepAndComeFirstAfterIt) {
    StartHost();
    OpenPairAndPollOnce();
    constexpr uint16_t kFrames = 150;
    SendToPortTwo(0, kFrames);
    ASSERT_EQ(ControlCommand("sleep 2"), "ok\n");
    std::vector<uint8_t> got;
    uint32_t result = ~0u;
    std::thread reader([&] { result = ReadOnPortTwo(got); });
    ASSERT_EQ(ControlCommand("wake 2"), "ok\n");
    reader.join();
    ASSERT_EQ(result, 0u);
    EXPECT_EQ(got, PatternFrame(kFrameSize, 0));
    for (uint32_t i = 1; i < kFrames; ++i) {
        ASSERT_EQ(ReadOnPortTwo(got), 0u) << "frame " << i;
        ASSERT_EQ(got, PatternFrame(kFrameSize, i)) << "frame " << i;
    }
    EXPECT_EQ(two_->FramesWaiting(), 0);
}

// A stopped device's reads are held back until it starts again, and a start empties its
// receive buffers: a read made meanwhile finds nothing, not a frame held from before.
TEST_F(ReadAheadTest, AReadAcrossAStopAndStartFindsNoFrameFromBefore) {
    StartHost();
    OpenPairAndPollOnce();
    SendToPortTwo(0, 150);
    ASSERT_EQ(ControlCommand("stop 2"), "ok\n");
    std::vector<uint8_t> got = {1};
    uint32_t result = ~0u;
    std::thread reader([&] { result = ReadOnPortTwo(got); });
    ASSERT_EQ(ControlCommand("start 2"), "ok\n");
    reader.join();
    EXPECT_EQ(result, 0u);
    EXPECT_TRUE(got.empty()) << "a frame from before the stop came back";
    EXPECT_EQ(two_->FramesWaiting(), 0);
}

}  // namespace
}  // namespace qorval::host::testing
