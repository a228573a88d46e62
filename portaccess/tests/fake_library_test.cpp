// The fake's behaviours that the engines' tests rely on.

#include "portaccess/fake/fake_library.h"

#include <gtest/gtest.h>

#include "portaccess/qorval32.h"
#include "portaccess/tick_count.h"

namespace {

using qorval::fake::FakeLibrary;
using qorval::fake::FakePortSpec;

class FakeLibraryTest : public ::testing::Test {
  protected:
    void SetUp() override {
        fake.Reset();
        fake.AddPort({.port = 1});
        fake.AddPort({.port = 2, .rx_buffers = 2});
    }
    QORVAL_HANDLE Open(uint16_t port) {
        QORVAL_HANDLE h = 0;
        EXPECT_EQ(QORVAL_PortOpen(QORVAL_DRIVER_WYVEL32, port, &h), QORVAL_OK);
        return h;
    }
    FakeLibrary& fake = FakeLibrary::Instance();
};

TEST_F(FakeLibraryTest, OpenIsExclusiveAndChecksDriverAndPort) {
    QORVAL_HANDLE h = Open(1);
    QORVAL_HANDLE other = 0;
    EXPECT_EQ(QORVAL_PortOpen(QORVAL_DRIVER_WYVEL32, 1, &other), QORVAL_SHARING_VIOLATION);
    EXPECT_EQ(QORVAL_PortOpen(QORVAL_DRIVER_FENDAR5, 1, &other), QORVAL_INVALID_DRIVER_TYPE);
    EXPECT_EQ(QORVAL_PortOpen(QORVAL_DRIVER_WYVEL32, 3, &other), QORVAL_PORT_NUMBER);
    EXPECT_EQ(QORVAL_PortClose(h), QORVAL_OK);
    EXPECT_EQ(QORVAL_PortClose(h), QORVAL_INVALID_HANDLE);
    EXPECT_EQ(QORVAL_PortOpen(QORVAL_DRIVER_WYVEL32, 1, &other), QORVAL_OK);
}

TEST_F(FakeLibraryTest, PairCarriesFramesAndDropsWhenReceiveBuffersAreFull) {
    fake.ConnectPair(QORVAL_DRIVER_WYVEL32, 1, 2);
    QORVAL_HANDLE a = Open(1);
    QORVAL_HANDLE b = Open(2);
    const uint8_t frame[] = {1, 2, 3};
    for (int i = 0; i < 3; ++i) {
        ASSERT_EQ(QORVAL_PutData(a, frame, sizeof frame), QORVAL_OK);
    }
    EXPECT_EQ(fake.DroppedFrames(QORVAL_DRIVER_WYVEL32, 2), 1u);
    uint16_t waiting = 0, free = 0;
    ASSERT_EQ(QORVAL_GetBufferCount(b, &waiting, &free), QORVAL_OK);
    EXPECT_EQ(waiting, 2);
    uint8_t buf[8];
    uint32_t len = 0;
    EXPECT_EQ(QORVAL_GetData(b, buf, sizeof buf, &len), QORVAL_OK);
    EXPECT_EQ(len, 3u);
    PortState st{};
    ASSERT_EQ(QORVAL_GetPortState(a, &st), QORVAL_OK);
    EXPECT_EQ(st.txFrames, 3u);
    ASSERT_EQ(QORVAL_GetPortState(b, &st), QORVAL_OK);
    EXPECT_EQ(st.rxFrames, 2u);
}

TEST_F(FakeLibraryTest, TooSmallBufferLeavesTheFrameFirstInLine) {
    QORVAL_HANDLE h = Open(1);
    fake.QueueFrame(QORVAL_DRIVER_WYVEL32, 1, std::vector<uint8_t>(200, 0x55));
    uint8_t buf[200];
    uint32_t len = 99;
    EXPECT_EQ(QORVAL_GetData(h, buf, 100, &len), QORVAL_BUFFER_ERROR);
    EXPECT_EQ(len, 0u);
    EXPECT_EQ(QORVAL_GetData(h, buf, 200, &len), QORVAL_OK);
    EXPECT_EQ(len, 200u);
}

TEST_F(FakeLibraryTest, ScriptedFramesArriveOnTheVirtualClock) {
    QORVAL_HANDLE h = Open(1);
    fake.QueueFrame(QORVAL_DRIVER_WYVEL32, 1, {2}, 500, QORVAL_CRC_ERROR);
    fake.QueueFrame(QORVAL_DRIVER_WYVEL32, 1, {1}, 100);
    uint8_t buf[4];
    uint32_t len = 0;
    EXPECT_EQ(QORVAL_GetData(h, buf, sizeof buf, &len), QORVAL_OK);
    EXPECT_EQ(len, 0u);
    fake.AdvanceMs(100);
    EXPECT_EQ(qorval::GetTickCount(), 100u);
    EXPECT_EQ(QORVAL_GetData(h, buf, sizeof buf, &len), QORVAL_OK);
    EXPECT_EQ(buf[0], 1);
    fake.SetAutoAdvanceMs(250);
    EXPECT_EQ(QORVAL_GetData(h, buf, sizeof buf, &len), QORVAL_OK);  // clock at 350
    EXPECT_EQ(len, 0u);
    EXPECT_EQ(QORVAL_GetData(h, buf, sizeof buf, &len), QORVAL_CRC_ERROR);  // 600
    EXPECT_EQ(len, 1u);
}

TEST_F(FakeLibraryTest, FailNextActsOnceAndTheCallLogNamesHandles) {
    QORVAL_HANDLE h = Open(1);
    fake.ClearCallLog();
    fake.FailNext("QORVAL_GetPortInfo", QORVAL_GENERAL_ERROR);
    PortInfo info{};
    EXPECT_EQ(QORVAL_GetPortInfo(h, &info), QORVAL_GENERAL_ERROR);
    ASSERT_EQ(QORVAL_GetPortInfo(h, &info), QORVAL_OK);
    EXPECT_EQ(info.capabilities, 0x0001FE10u);
    EXPECT_EQ(info.cardType, 13);
    EXPECT_STREQ(info.oscillator, "20.000");
    const std::string expected = "QORVAL_GetPortInfo(" + std::to_string(h) + ")";
    EXPECT_EQ(fake.CallLog(), (std::vector<std::string>{expected, expected}));

    fake.ClearCallLog();
    ASSERT_EQ(QORVAL_SetModemControl(h, 0x11), QORVAL_OK);
    EXPECT_EQ(fake.CallLog(), std::vector<std::string>{"QORVAL_SetModemControl(" +
                                                       std::to_string(h) + ",17)"})
        << "a call's value is logged with its handle";
}

}  // namespace
