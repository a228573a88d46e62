// Telling a port that has gone from a request that failed: against the fake library's dead host
// and removed device, which fail as the real library does (the host's own suite checks the same
// against a real host).

#include "portaccess/port_loss.h"

#include <gtest/gtest.h>

#include "portaccess/fake/fake_library.h"
#include "portaccess/qorval_port.h"

namespace {

using qorval::PortLoss;
using qorval::RecognisePortLoss;
using qorval::fake::FakeLibrary;

constexpr uint16_t kDriver = QORVAL_DRIVER_WYVEL32;

class PortLossTest : public ::testing::Test {
  protected:
    void SetUp() override {
        fake.Reset();
        fake.AddPort({.port = 1});
        fake.AddPort({.port = 2});
        ASSERT_EQ(port.Open(), QORVAL_OK);
    }
    // The result of a read on the port, and what it says about the port.
    PortLoss AfterRead() {
        uint8_t buffer[16];
        uint32_t length = 0;
        const uint32_t result = QORVAL_GetData(port.GetHandle(), buffer, sizeof buffer, &length);
        return RecognisePortLoss(port.GetHandle(), kDriver, 1, result);
    }

    FakeLibrary& fake = FakeLibrary::Instance();
    Qorval_Port port{kDriver, 1};
};

TEST_F(PortLossTest, FailuresOfASoundPortKeepIt) {
    EXPECT_EQ(AfterRead(), PortLoss::kNone);
    for (uint32_t result : {QORVAL_GENERAL_ERROR, QORVAL_PORT_NOT_OPEN, QORVAL_CRC_ERROR}) {
        fake.FailNext("QORVAL_GetData", result);
        EXPECT_EQ(AfterRead(), PortLoss::kNone) << "a passing failure " << result;
    }
}

TEST_F(PortLossTest, ADeadHostIsSeenAlsoWhenAnotherHostHasStartedSince) {
    fake.KillHost();
    EXPECT_EQ(AfterRead(), PortLoss::kHostGone);
    // A host started again lists the port, but the old handle stays dead.
    fake.RestartHost();
    EXPECT_EQ(AfterRead(), PortLoss::kHostGone);
    EXPECT_EQ(port.Close(), QORVAL_OK);
    EXPECT_EQ(port.Open(), QORVAL_OK) << "the port opens again on the new host";
    EXPECT_EQ(AfterRead(), PortLoss::kNone);
}

TEST_F(PortLossTest, ARemovedPortIsSeenAndItsNeighbourKept) {
    Qorval_Port other{kDriver, 2};
    ASSERT_EQ(other.Open(), QORVAL_OK);
    fake.RemovePort(kDriver, 1);
    EXPECT_EQ(AfterRead(), PortLoss::kPortRemoved);
    uint16_t waiting = 0, free = 0;
    EXPECT_EQ(RecognisePortLoss(other.GetHandle(), kDriver, 2,
                                QORVAL_GetBufferCount(other.GetHandle(), &waiting, &free)),
              PortLoss::kNone);
}

TEST_F(PortLossTest, TheMessageNamesThePortAndHowToStartTheHost) {
    for (PortLoss loss : {PortLoss::kHostGone, PortLoss::kPortRemoved}) {
        const std::string text = qorval::PortLossMessage(loss, 3);
        EXPECT_NE(text.find("ort 3 "), std::string::npos) << text;
        EXPECT_NE(text.find("\"wyvel32 run\""), std::string::npos) << text;
    }
    EXPECT_NE(qorval::PortLossMessage(PortLoss::kHostGone, 1),
              qorval::PortLossMessage(PortLoss::kPortRemoved, 1));
    EXPECT_EQ(qorval::PortLossMessage(PortLoss::kNone, 1), "");
}

TEST_F(PortLossTest, ATransmitBufferWaitEndsAtOnceOnADeadHandle) {
    // Counting free buffers on a dead handle fails at once; waiting for a count that never
    // comes would spin for 5 seconds and then report a full ring instead.
    fake.SetAutoAdvanceMs(10);
    fake.KillHost();
    const uint32_t before = fake.NowMs();
    EXPECT_EQ(port.PutByte(0x18), QORVAL_GENERAL_ERROR);
    const uint8_t block[40] = {};
    EXPECT_EQ(port.PutBlock(block, sizeof block), QORVAL_GENERAL_ERROR);
    EXPECT_LT(fake.NowMs() - before, 1000u);
}

}  // namespace
