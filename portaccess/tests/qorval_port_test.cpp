// Qorval_Port against the fake library: frames arriving at given times, error results, no free
// transmit buffers.

#include "portaccess/qorval_port.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <numeric>

#include "portaccess/fake/fake_library.h"

namespace {

using qorval::fake::FakeLibrary;

constexpr uint16_t kDriver = QORVAL_DRIVER_WYVEL32;

class QorvalPortTest : public ::testing::Test {
  protected:
    void SetUp() override {
        fake.Reset();
        fake.AddPort({.port = 1, .max_rx_frame = 64, .max_tx_frame = 16});
        fake.AddPort({.port = 2, .max_rx_frame = 64, .max_tx_frame = 16});
    }
    void OpenPort() { ASSERT_EQ(port.Open(), QORVAL_OK); }
    size_t Calls(const std::string& name) const {
        auto log = fake.CallLog();
        return std::count_if(log.begin(), log.end(),
                             [&](const std::string& c) { return c.starts_with(name + "("); });
    }

    FakeLibrary& fake = FakeLibrary::Instance();
    Qorval_Port port{kDriver, 1};
};

// The class is shared with the dialogs library by layout: vtable pointer, buffer pointer, three
// 32-bit and four 16-bit members.
static_assert(sizeof(Qorval_Port) == sizeof(void*) * 2 + 3 * 4 + 4 * 2 + 4);

TEST_F(QorvalPortTest, CloseWhenNeverOpenedStillAsksTheLibrary) {
    fake.ClearCallLog();
    EXPECT_EQ(port.Close(), QORVAL_INVALID_HANDLE);
    EXPECT_EQ(fake.CallLog(), std::vector<std::string>{"QORVAL_PortClose(0)"});
}

TEST_F(QorvalPortTest, OpenFailuresLeaveTheObjectClosed) {
    Qorval_Port other{kDriver, 1};
    OpenPort();
    EXPECT_EQ(other.Open(), QORVAL_SHARING_VIOLATION);
    EXPECT_FALSE(other.IsOpen());
    port.Close();

    fake.FailNext("QORVAL_GetPortInfo", QORVAL_GENERAL_ERROR);
    EXPECT_EQ(port.Open(), QORVAL_GENERAL_ERROR);
    EXPECT_FALSE(port.IsOpen());
    EXPECT_EQ(other.Open(), QORVAL_OK) << "the port must have been closed again";
}

TEST_F(QorvalPortTest, SelectPortClosesAnOpenPort) {
    OpenPort();
    port.SelectPort(kDriver, 2);
    EXPECT_FALSE(port.IsOpen());
    EXPECT_EQ(port.GetPortNumber(), 2);
    Qorval_Port other{kDriver, 1};
    EXPECT_EQ(other.Open(), QORVAL_OK);
}

TEST_F(QorvalPortTest, ErrorFrameIsDroppedAndReported) {
    OpenPort();
    fake.QueueFrame(kDriver, 1, {0xAA, 0xBB}, 0, QORVAL_CRC_ERROR);
    fake.QueueFrame(kDriver, 1, {0x11});
    fake.ClearCallLog();
    uint8_t b = 0;
    EXPECT_EQ(port.GetByte(b, 0), QORVAL_CRC_ERROR);
    EXPECT_EQ(Calls("QORVAL_GetData"), 1u) << "timeout 0 makes one read attempt";
    EXPECT_EQ(port.GetByte(b, 0), QORVAL_OK);
    EXPECT_EQ(b, 0x11);
    EXPECT_EQ(port.GetByte(b, 0), QP_NO_DATA);
}

TEST_F(QorvalPortTest, GetByteWaitsWholeSecondsForALateFrame) {
    OpenPort();
    fake.SetAutoAdvanceMs(10);
    fake.QueueFrame(kDriver, 1, {0x42}, 1900);
    uint8_t b = 0;
    EXPECT_EQ(port.GetByte(b, 1), QP_NO_DATA);
    EXPECT_GE(fake.NowMs(), 1000u);
    EXPECT_EQ(port.GetByte(b, 2), QORVAL_OK);
    EXPECT_EQ(b, 0x42);
}

TEST_F(QorvalPortTest, GetBlockJoinsFramesAndKeepsTheRest) {
    OpenPort();
    fake.QueueFrame(kDriver, 1, {1, 2, 3});
    fake.QueueFrame(kDriver, 1, {4, 5, 6, 7});
    uint8_t buf[5] = {};
    uint32_t got = 0;
    EXPECT_EQ(port.GetBlock(buf, 5, got, 1), QORVAL_OK);
    EXPECT_EQ(got, 5u);
    EXPECT_EQ(std::vector<uint8_t>(buf, buf + 5), (std::vector<uint8_t>{1, 2, 3, 4, 5}));
    EXPECT_EQ(port.BytesWaiting(), 2u);
    EXPECT_TRUE(port.DiscardInput());
    EXPECT_EQ(port.BytesWaiting(), 0u);
}

TEST_F(QorvalPortTest, GetBlockStopsAfterTheTimeoutOrOnAnError) {
    OpenPort();
    fake.SetAutoAdvanceMs(10);
    fake.QueueFrame(kDriver, 1, {1, 2});
    uint8_t buf[8];
    uint32_t got = 0;
    EXPECT_EQ(port.GetBlock(buf, 8, got, 1), QORVAL_OK);
    EXPECT_EQ(got, 2u);
    EXPECT_GT(fake.NowMs(), 1000u);

    fake.QueueFrame(kDriver, 1, {3}, 0, QORVAL_OVERRUN);
    EXPECT_EQ(port.GetBlock(buf, 8, got, 5), QORVAL_OVERRUN);
    EXPECT_EQ(got, 0u);
}

TEST_F(QorvalPortTest, PutBlockCutsDataIntoTransmitFrames) {
    struct Case {
        uint32_t length;
        std::vector<size_t> frames;
    };
    const Case cases[] = {{0, {}}, {1, {1}}, {16, {16}}, {17, {16, 1}}, {35, {16, 16, 3}}};
    OpenPort();
    for (const Case& c : cases) {
        std::vector<uint8_t> data(c.length);
        std::iota(data.begin(), data.end(), 0);
        EXPECT_EQ(port.PutBlock(data.data(), c.length), QORVAL_OK);
        std::vector<size_t> sizes;
        std::vector<uint8_t> joined;
        for (const auto& f : fake.TakeSentFrames(kDriver, 1)) {
            sizes.push_back(f.bytes.size());
            joined.insert(joined.end(), f.bytes.begin(), f.bytes.end());
        }
        EXPECT_EQ(sizes, c.frames) << "length " << c.length;
        EXPECT_EQ(joined, data) << "length " << c.length;
    }
}

// Pieces must fit the far port's receive buffer together with a 32-bit frame check: a port
// with the default sizes (1024 both ways) sends at most 1020 bytes a frame.
TEST_F(QorvalPortTest, PutBlockLeavesRoomForTheFrameCheckAtTheFarEnd) {
    struct Case {
        uint16_t maxRx, maxTx;
        uint32_t length;
        std::vector<size_t> frames;
    };
    const Case cases[] = {
        {1024, 1024, 1020, {1020}},          {1024, 1024, 1021, {1020, 1}},
        {1024, 1024, 1029, {1020, 9}},       {1024, 1024, 2048, {1020, 1020, 8}},
        {20, 1024, 33, {16, 16, 1}},         {5, 1024, 3, {1, 1, 1}},
        {4, 16, 17, {16, 1}},  // no room for CRC-32 at all: the transmit size alone bounds
    };
    uint16_t number = 10;
    for (const Case& c : cases) {
        fake.AddPort({.port = number, .max_rx_frame = c.maxRx, .max_tx_frame = c.maxTx});
        Qorval_Port p{kDriver, number};
        ASSERT_EQ(p.Open(), QORVAL_OK);
        std::vector<uint8_t> data(c.length);
        std::iota(data.begin(), data.end(), 0);
        EXPECT_EQ(p.PutBlock(data.data(), c.length), QORVAL_OK);
        std::vector<size_t> sizes;
        std::vector<uint8_t> joined;
        for (const auto& f : fake.TakeSentFrames(kDriver, number)) {
            sizes.push_back(f.bytes.size());
            joined.insert(joined.end(), f.bytes.begin(), f.bytes.end());
        }
        EXPECT_EQ(sizes, c.frames) << "rx " << c.maxRx << " tx " << c.maxTx << " length " << c.length;
        EXPECT_EQ(joined, data);
        ++number;
    }
}

// A block of several pieces asks for the free count once when it covers them all, and again
// only when the counted buffers are used up.
TEST_F(QorvalPortTest, PutBlockCountsFreeBuffersOncePerCountedRun) {
    OpenPort();
    const std::vector<uint8_t> data(16 * 5, 0x55);  // five 16-byte pieces
    fake.SetTxBuffersFree(kDriver, 1, 2);
    fake.ClearCallLog();
    EXPECT_EQ(port.PutBlock(data.data(), static_cast<uint32_t>(data.size())), QORVAL_OK);
    EXPECT_EQ(Calls("QORVAL_GetBufferCount"), 3u);  // pieces 1-2, 3-4, 5
    EXPECT_EQ(Calls("QORVAL_PutData"), 5u);
    fake.SetTxBuffersFree(kDriver, 1, std::nullopt);  // 100 free
    fake.ClearCallLog();
    EXPECT_EQ(port.PutBlock(data.data(), static_cast<uint32_t>(data.size())), QORVAL_OK);
    EXPECT_EQ(Calls("QORVAL_GetBufferCount"), 1u);
    EXPECT_EQ(fake.TakeSentFrames(kDriver, 1).size(), 10u);
}

TEST_F(QorvalPortTest, NoFreeTransmitBufferGivesUpAfterFiveSeconds) {
    OpenPort();
    fake.SetAutoAdvanceMs(100);
    fake.SetTxBuffersFree(kDriver, 1, 0);
    const uint8_t data[20] = {};
    EXPECT_EQ(port.PutByte(0x7E), QP_NO_TX_BUFFER);
    EXPECT_GE(fake.NowMs(), 6000u);
    EXPECT_EQ(port.PutBlock(data, sizeof data), QP_NO_TX_BUFFER);
    EXPECT_TRUE(fake.TakeSentFrames(kDriver, 1).empty());
    fake.SetTxBuffersFree(kDriver, 1, std::nullopt);
    EXPECT_EQ(port.PutByte(0x7E), QORVAL_OK);
    EXPECT_EQ(fake.TakeSentFrames(kDriver, 1).size(), 1u);
}

// Counting free buffers on a handle whose host has died fails at once; waiting for a count that
// never comes spun for 5 seconds per byte and then reported a full ring instead.
TEST_F(QorvalPortTest, ATransmitBufferWaitEndsAtOnceWhenTheCountFails) {
    OpenPort();
    fake.SetAutoAdvanceMs(10);
    fake.KillHost();
    const uint32_t before = fake.NowMs();
    EXPECT_EQ(port.PutByte(0x18), QORVAL_GENERAL_ERROR);
    const uint8_t block[40] = {};
    EXPECT_EQ(port.PutBlock(block, sizeof block), QORVAL_GENERAL_ERROR);
    EXPECT_LT(fake.NowMs() - before, 1000u);
}

TEST_F(QorvalPortTest, PurgeEndsAfterAQuietSecondOrReportsABusyLine) {
    OpenPort();
    fake.SetAutoAdvanceMs(10);
    fake.QueueFrame(kDriver, 1, {1}, 300);
    EXPECT_EQ(port.Purge(10), QORVAL_OK);
    EXPECT_GE(fake.NowMs(), 1300u);
    EXPECT_LT(fake.NowMs(), 2500u);

    const uint32_t start = fake.NowMs();
    for (uint32_t t = 0; t < 6000; t += 5) {  // a frame at every read
        fake.QueueFrame(kDriver, 1, {2}, start + t);
    }
    EXPECT_EQ(port.Purge(3), QP_LINE_BUSY);
}

TEST_F(QorvalPortTest, PortWithoutATransmitFrameSizeFailsInsteadOfLooping) {
    fake.AddPort({.port = 3, .max_tx_frame = 0});
    port.SelectPort(kDriver, 3);
    OpenPort();
    const uint8_t data[3] = {1, 2, 3};
    EXPECT_EQ(port.PutBlock(data, sizeof data), QORVAL_INVALID_PARAMETER);
}

TEST_F(QorvalPortTest, OpeningAnOpenObjectReleasesTheOldHandleFirst) {
    OpenPort();
    const QORVAL_HANDLE first = port.GetHandle();
    OpenPort();
    EXPECT_NE(port.GetHandle(), first);
    PortInfo info{};
    EXPECT_EQ(QORVAL_GetPortInfo(first, &info), QORVAL_INVALID_HANDLE);
}

TEST_F(QorvalPortTest, ModemHelpersSetAndReadSingleLines) {
    fake.ConnectPair(kDriver, 1, 2);
    Qorval_Port far{kDriver, 2};
    OpenPort();
    ASSERT_EQ(far.Open(), QORVAL_OK);
    EXPECT_EQ(port.SetDTR(true), QORVAL_OK);
    EXPECT_EQ(port.SetRTS(true), QORVAL_OK);
    EXPECT_EQ(port.GetDTR(), 1);
    EXPECT_EQ(far.GetDSR() + far.GetDCD() + far.GetCTS(), 3);
    EXPECT_EQ(port.SetDTR(false), QORVAL_OK);
    EXPECT_EQ(port.GetRTS(), 1);
    EXPECT_EQ(far.GetDSR() + far.GetDCD(), 0);
    fake.SetModemInputs(kDriver, 1, QORVAL_MODEM_RI);
    EXPECT_EQ(port.GetRI(), 1);

    fake.FailNext("QORVAL_GetModemControl", QORVAL_GENERAL_ERROR);
    EXPECT_EQ(port.SetRTS(false), QORVAL_GENERAL_ERROR);
    fake.FailNext("QORVAL_GetModemControl", QORVAL_GENERAL_ERROR);
    EXPECT_EQ(port.GetRTS(), 0);
}

TEST_F(QorvalPortTest, BufferCountsAreZeroOnError) {
    OpenPort();
    fake.QueueFrame(kDriver, 1, {1});
    EXPECT_EQ(port.FramesWaiting(), 1);
    EXPECT_EQ(port.TxBuffersFree(), 100);
    port.Close();
    EXPECT_EQ(port.FramesWaiting(), 0);
    EXPECT_EQ(port.TxBuffersFree(), 0);
}

TEST_F(QorvalPortTest, GetFrameDiscardsBufferedBytesFirst) {
    OpenPort();
    fake.QueueFrame(kDriver, 1, {1, 2, 3});
    fake.QueueFrame(kDriver, 1, {9, 8});
    uint8_t b = 0;
    ASSERT_EQ(port.GetByte(b, 0), QORVAL_OK);
    uint8_t buf[8];
    uint32_t length = 0;
    EXPECT_EQ(port.GetFrame(buf, sizeof buf, length), QORVAL_OK);
    EXPECT_EQ(length, 2u);
    EXPECT_EQ(buf[0], 9);
    EXPECT_EQ(port.BytesWaiting(), 0u);
}

}  // namespace
