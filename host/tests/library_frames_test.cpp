// Frames and port records through the library across a null-modem pair of an in-process
// host: every frame size, the read-length rules, buffer counts and resets, the port state
// request and the modem lines; each frame's arrival time, the moment its closing flag reached
// the port on the card's line however long it then waited, and frames queued back to back
// arriving exactly one line time apart.

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

class PairTest : public HostTest {
  protected:
    void OpenPair() {
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
    // Sends `count` frames from port 1 and waits until port 2 holds them all.
    void QueueOnPortTwo(uint16_t count, size_t size = 32) {
        const uint16_t before = two_->FramesWaiting();
        for (uint16_t i = 0; i < count; ++i) {
            const auto frame = PatternFrame(size, i);
            ASSERT_EQ(QORVAL_PutData(one_->handle(), frame.data(), size), 0u);
        }
        ASSERT_TRUE(WaitFor([&] { return two_->FramesWaiting() == before + count; }));
    }

    std::unique_ptr<LibraryPort> one_;
    std::unique_ptr<LibraryPort> two_;
};

// A frame's CRC is stored with it in the receive buffer, so receive buffers that hold the
// largest transmit frame plus its CRC carry every size whole.
struct FrameSizeCase {
    uint32_t crc_used;
    uint32_t rx_buff_size;
};

class FrameSizeTest : public PairTest, public ::testing::WithParamInterface<FrameSizeCase> {};

TEST_P(FrameSizeTest, EveryFrameSizeUpToTheTransmitBufferArrivesWhole) {
    WriteDefaultKeys();
    for (const unsigned port : {1u, 2u}) {
        SetPortValue(port, "CrcUsed", GetParam().crc_used);
        SetPortValue(port, "RxBuffSize", GetParam().rx_buff_size);
    }
    StartHost();
    OpenPair();
    PortInfo info{};
    ASSERT_EQ(QORVAL_GetPortInfo(one_->handle(), &info), 0u);
    ASSERT_EQ(info.maxTxFrame, 1024);
    std::vector<uint8_t> got;
    for (uint16_t size = 1; size <= info.maxTxFrame; ++size) {
        // Both directions, so both transmitters and both receivers see every size.
        const bool forward = size % 2 == 1;
        const LibraryPort& from = forward ? *one_ : *two_;
        const LibraryPort& to = forward ? *two_ : *one_;
        const auto frame = PatternFrame(size, size);
        ASSERT_EQ(QORVAL_PutData(from.handle(), frame.data(), size), 0u) << size;
        ASSERT_EQ(to.AwaitFrame(got), 0u) << "frame of " << size << " bytes";
        ASSERT_EQ(got, frame) << "frame of " << size << " bytes";
    }
    PortState state{};
    ASSERT_EQ(QORVAL_GetPortState(two_->handle(), &state), 0u);
    EXPECT_EQ(state.txFrames, 512u);
    EXPECT_EQ(state.rxFrames, 512u);
    EXPECT_EQ(state.crcErrors, 0u);
    EXPECT_EQ(state.overruns, 0u);
}

INSTANTIATE_TEST_SUITE_P(CrcTypes, FrameSizeTest,
                         ::testing::Values(FrameSizeCase{2, 1026}, FrameSizeCase{1, 1028}),
                         [](const ::testing::TestParamInfo<FrameSizeCase>& info) {
                             return "CrcUsed" + std::to_string(info.param.crc_used);
                         });

// With the default set (32-bit CRC, receive buffers as large as the transmit buffers) the
// four largest frames do not fit a receive buffer with their CRC: they arrive as overruns
// without data, which is what the tools must show. Every smaller size arrives whole.
TEST_F(PairTest, DefaultBuffersCarryFramesUpToFourBytesBelowTheirSize) {
    StartHost();
    OpenPair();
    std::vector<uint8_t> got;
    for (const uint16_t size : {uint16_t{1019}, uint16_t{1020}}) {
        const auto frame = PatternFrame(size, size);
        ASSERT_EQ(QORVAL_PutData(one_->handle(), frame.data(), size), 0u);
        ASSERT_EQ(two_->AwaitFrame(got), 0u) << size;
        EXPECT_EQ(got, frame);
    }
    const auto frame = PatternFrame(1021, 1);
    ASSERT_EQ(QORVAL_PutData(one_->handle(), frame.data(), 1021), 0u);
    EXPECT_EQ(two_->AwaitFrame(got), uint32_t{QORVAL_OVERRUN});
    EXPECT_TRUE(got.empty());
}

TEST_F(PairTest, AFrameOverTheTransmitBufferIsRefusedAndNothingIsSent) {
    StartHost();
    OpenPair();
    const auto frame = PatternFrame(1025, 1);
    EXPECT_EQ(QORVAL_PutData(one_->handle(), frame.data(), 1025),
              uint32_t{QORVAL_INVALID_PARAMETER});
    EXPECT_EQ(one_->FreeTxBuffers(), 100);
    const auto small = PatternFrame(5, 2);
    ASSERT_EQ(QORVAL_PutData(one_->handle(), small.data(), 5), 0u);
    std::vector<uint8_t> got;
    ASSERT_EQ(two_->AwaitFrame(got), 0u);
    EXPECT_EQ(got, small);
}

// ---- Read length: the frame's CRC counts against the read buffer ----

struct CrcCase {
    uint32_t crc_used;
    uint16_t needed;  // read length a 200-byte frame needs
};

class ReadLengthTest : public PairTest, public ::testing::WithParamInterface<CrcCase> {};

TEST_P(ReadLengthTest, AShortBufferLeavesTheFrameFirstInLine) {
    WriteDefaultKeys();
    SetPortValue(1, "CrcUsed", GetParam().crc_used);
    SetPortValue(2, "CrcUsed", GetParam().crc_used);
    StartHost();
    OpenPair();
    const auto first = PatternFrame(200, 1);
    const auto second = PatternFrame(10, 2);
    ASSERT_EQ(QORVAL_PutData(one_->handle(), first.data(), 200), 0u);
    ASSERT_EQ(QORVAL_PutData(one_->handle(), second.data(), 10), 0u);
    ASSERT_TRUE(WaitFor([&] { return two_->FramesWaiting() == 2; }));

    std::vector<uint8_t> buffer(1024, 0xEE);
    const uint16_t needed = GetParam().needed;
    for (const uint16_t size : {uint16_t{100}, uint16_t(needed - 1)}) {
        uint32_t length = 99;
        EXPECT_EQ(QORVAL_GetData(two_->handle(), buffer.data(), size, &length),
                  uint32_t{QORVAL_BUFFER_ERROR})
            << size;
        EXPECT_EQ(length, 0u);
        EXPECT_EQ(two_->FramesWaiting(), 2);
    }
    uint32_t length = 0;
    ASSERT_EQ(QORVAL_GetData(two_->handle(), buffer.data(), needed, &length), 0u);
    ASSERT_EQ(length, 200u);
    EXPECT_TRUE(std::equal(first.begin(), first.end(), buffer.begin()));
    ASSERT_EQ(QORVAL_GetData(two_->handle(), buffer.data(), needed, &length), 0u);
    ASSERT_EQ(length, 10u);
    EXPECT_TRUE(std::equal(second.begin(), second.end(), buffer.begin()));
    // Nothing left: success with no bytes.
    EXPECT_EQ(QORVAL_GetData(two_->handle(), buffer.data(), needed, &length), 0u);
    EXPECT_EQ(length, 0u);
}

INSTANTIATE_TEST_SUITE_P(CrcTypes, ReadLengthTest,
                         ::testing::Values(CrcCase{1, 204}, CrcCase{2, 202}),
                         [](const ::testing::TestParamInfo<CrcCase>& info) {
                             return "CrcUsed" + std::to_string(info.param.crc_used);
                         });

// ---- Buffer counts and resets ----

TEST_F(PairTest, BufferCountsFollowTheFramesBothWays) {
    StartHost();
    OpenPair();
    EXPECT_EQ(two_->FramesWaiting(), 0);
    EXPECT_EQ(one_->FreeTxBuffers(), 100);
    QueueOnPortTwo(3);
    std::vector<uint8_t> got;
    ASSERT_EQ(two_->AwaitFrame(got), 0u);
    EXPECT_EQ(two_->FramesWaiting(), 2);
    // Every transmit buffer is given back once its frame is on the line.
    EXPECT_TRUE(WaitFor([&] { return one_->FreeTxBuffers() == 100; }));
}

struct ResetCase {
    uint16_t mask;
    bool receive_cleared;
};

class ResetMaskTest : public PairTest, public ::testing::WithParamInterface<ResetCase> {};

TEST_P(ResetMaskTest, MaskSelectsTheBuffers) {
    StartHost();
    OpenPair();
    QueueOnPortTwo(3);
    ASSERT_EQ(QORVAL_ResetBuffers(two_->handle(), GetParam().mask), 0u);
    EXPECT_EQ(two_->FramesWaiting(), GetParam().receive_cleared ? 0 : 3);
    EXPECT_EQ(two_->FreeTxBuffers(), 100);
    // The port still carries frames after the reset.
    const auto frame = PatternFrame(40, 9);
    ASSERT_EQ(QORVAL_PutData(two_->handle(), frame.data(), 40), 0u);
    std::vector<uint8_t> got;
    ASSERT_EQ(one_->AwaitFrame(got), 0u);
    EXPECT_EQ(got, frame);
}

INSTANTIATE_TEST_SUITE_P(Masks, ResetMaskTest,
                         ::testing::Values(ResetCase{QORVAL_RESET_RECEIVE, true},
                                           ResetCase{QORVAL_RESET_TRANSMIT, false},
                                           ResetCase{QORVAL_RESET_BOTH, true}, ResetCase{4, true},
                                           ResetCase{5, false}),
                         [](const ::testing::TestParamInfo<ResetCase>& info) {
                             return "Mask" + std::to_string(info.param.mask);
                         });

// ---- Port state ----

TEST_F(PairTest, SetPortStateTakesUncheckedValuesAndDropsTheRings) {
    StartHost();
    OpenPair();
    QueueOnPortTwo(2);
    PortState state{};
    ASSERT_EQ(QORVAL_GetPortState(two_->handle(), &state), 0u);
    const uint32_t received = state.rxFrames;
    EXPECT_EQ(received, 2u);
    state.txClock = 5;
    state.nodeAddress = 0x42;
    state.divisor = 250;
    state.rxTimeout = 1234;  // ignored
    state.rxFrames = 999;    // ignored: counters belong to the driver
    ASSERT_EQ(QORVAL_SetPortState(two_->handle(), &state), 0u);

    PortState after{};
    ASSERT_EQ(QORVAL_GetPortState(two_->handle(), &after), 0u);
    EXPECT_EQ(after.txClock, 5);
    EXPECT_EQ(after.nodeAddress, 0x42);
    EXPECT_EQ(after.divisor, 250);
    EXPECT_EQ(after.rxTimeout, 0u);
    EXPECT_EQ(after.rxFrames, received);
    EXPECT_EQ(two_->FramesWaiting(), 0) << "waiting frames are dropped";

    ASSERT_EQ(QORVAL_SetNodeAddress(two_->handle(), 0x17), 0u);
    ASSERT_EQ(QORVAL_GetPortState(two_->handle(), &after), 0u);
    EXPECT_EQ(after.nodeAddress, 0x17);
}

TEST_F(PairTest, PortInfoDescribesTheOpenPort) {
    StartHost();
    OpenPair();
    PortInfo info{};
    ASSERT_EQ(QORVAL_GetPortInfo(two_->handle(), &info), 0u);
    EXPECT_EQ(info.capabilities, 0x0001FE10u);
    EXPECT_EQ(info.channel, 1);
    EXPECT_EQ(info.cardType, 13);
    EXPECT_EQ(info.txBuffers, 100);
    EXPECT_EQ(info.rxBuffers, 100);
    EXPECT_EQ(info.maxRxFrame, 1024);
    EXPECT_EQ(info.txDmaChannel, 0xFFFF);
    EXPECT_EQ(info.chip, 2);
    EXPECT_STREQ(info.oscillator, "20.000");
}

// ---- Modem lines across the null-modem pair ----

struct ModemCase {
    uint16_t set;       // on port 1
    uint16_t expected;  // inputs seen on port 2
};

class ModemLineTest : public PairTest, public ::testing::WithParamInterface<ModemCase> {};

TEST_P(ModemLineTest, OutputsReachThePeersInputs) {
    StartHost();
    OpenPair();
    constexpr uint16_t kInputs = QORVAL_MODEM_DSR | QORVAL_MODEM_DCD | QORVAL_MODEM_CTS;
    ASSERT_EQ(QORVAL_SetModemControl(one_->handle(), GetParam().set), 0u);
    uint16_t seen = 0xFFFF;
    EXPECT_TRUE(WaitFor([&] {
        EXPECT_EQ(QORVAL_GetModemControl(two_->handle(), &seen), 0u);
        return (seen & kInputs) == GetParam().expected;
    })) << std::hex
        << seen;
    uint16_t own = 0;
    ASSERT_EQ(QORVAL_GetModemControl(one_->handle(), &own), 0u);
    EXPECT_EQ(own & (QORVAL_MODEM_DTR | QORVAL_MODEM_RTS), GetParam().set & 3);
}

INSTANTIATE_TEST_SUITE_P(
    Lines, ModemLineTest,
    ::testing::Values(ModemCase{0, 0},
                      ModemCase{QORVAL_MODEM_DTR, QORVAL_MODEM_DSR | QORVAL_MODEM_DCD},
                      ModemCase{QORVAL_MODEM_RTS, QORVAL_MODEM_CTS},
                      ModemCase{QORVAL_MODEM_DTR | QORVAL_MODEM_RTS,
                                QORVAL_MODEM_DSR | QORVAL_MODEM_DCD | QORVAL_MODEM_CTS},
                      ModemCase{QORVAL_MODEM_LOCAL_LOOPBACK, 0}),
    [](const ::testing::TestParamInfo<ModemCase>& info) {
        return "Set" + std::to_string(info.param.set);
    });

TEST_F(PairTest, AFrameCarriesTheTimeItArrivedNotTheTimeItWasRead) {
    StartHost();
    OpenPair();
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

TEST_F(PairTest, ACloseOnASlowLineLetsALastFrameOfOverASecondLeaveWhole) {
    // 20 MHz / (9999 + 1): 2 kbit/s, where a 400-byte frame takes about 1.7 s on the line,
    // longer than a close waits on a fast line without a buffer freeing.
    WriteDefaultKeys();
    for (const unsigned port : {1u, 2u}) {
        SetPortValue(port, "Divisor", 9999);
    }
    StartHost(BusOptions{});
    OpenPair();
    const auto frame = PatternFrame(400, 7);
    ASSERT_GT(host().bus().CardOfPort(1)->FrameNanosecondsOnLine(frame), 1'500'000'000u);
    ASSERT_EQ(QORVAL_PutData(one_->handle(), frame.data(), 400), 0u);
    one_.reset();  // the writer closes at once, its frame barely begun
    std::vector<uint8_t> got;
    ASSERT_EQ(two_->AwaitFrame(got), 0u);
    EXPECT_EQ(got, frame);
}

TEST_F(PairTest, FramesQueuedBackToBackArriveOneLineTimeApart) {
    StartHost(BusOptions{});  // a pair at the rate the ports' clock programme gives
    OpenPair();
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
    // microseconds). The times are the line's own, to the nanosecond.
    int backToBack = 0;
    for (int i = 1; i < kFrames; ++i) {
        const int64_t gap = static_cast<int64_t>(arrivals[i] - arrivals[i - 1]);
        const auto line = static_cast<int64_t>(card->FrameNanosecondsOnLine(frames[i]));
        ASSERT_GT(line, 1'000'000) << "the line is slower than this test assumes";
        EXPECT_GE(gap, line) << i;
        backToBack += gap == line ? 1 : 0;
    }
    EXPECT_GE(backToBack, kFrames - 2);
}

}  // namespace
}  // namespace qorval::host::testing
