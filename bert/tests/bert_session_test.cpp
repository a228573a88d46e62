// The window's logic: texts, rates, buttons, and the workers it starts and stops.

#include "bert/bert_session.h"

#include <gtest/gtest.h>

#include <cmath>
#include <filesystem>

#include "bert/bert_texts.h"
#include "bert/pattern.h"
#include "bert/tests/test_wait.h"
#include "platform/testing/temporary_directory.h"
#include "portaccess/fake/fake_library.h"

namespace {

using namespace qorval::bert;
using qorval::bert::testing::WaitFor;
using qorval::fake::FakeLibrary;

constexpr uint16_t kDriver = QORVAL_DRIVER_WYVEL32;

class BertSessionTest : public ::testing::Test {
  protected:
    void SetUp() override {
        fake.Reset();
        fake.AddPort({.port = 1, .rx_buffers = 50, .tx_buffers = 40});
    }
    // Ten pattern frames: sync at the fourth frame start, 7 * 511 bytes checked.
    void QueueTenFrames() {
        for (int i = 0; i < 10; ++i) {
            fake.QueueFrame(kDriver, 1, {kPattern.begin(), kPattern.begin() + kFrameSize});
        }
    }
    void WaitForFrames(uint32_t n) {
        ASSERT_TRUE(WaitFor([&] { return session.Counters().rxFrames.load() >= n; }));
    }
    void Ticks(int n) {
        for (int i = 0; i < n; ++i) {
            fake.AdvanceMs(100);
            session.Tick();
        }
    }
    FakeLibrary& fake = FakeLibrary::Instance();
    BertSession session;
};

TEST_F(BertSessionTest, ShowsZerosAndNoDataAtFirst) {
    const BertDisplay& d = session.Display();
    EXPECT_EQ(d.testTime, "000:00:00");
    EXPECT_EQ(d.bitErrors, "0");
    EXPECT_EQ(d.status, text::kNoData);
    EXPECT_EQ(session.PortButtonCaption(), text::kOpen);
    EXPECT_FALSE(session.StartEnabled());
    EXPECT_EQ(session.StartStop(), std::optional<std::string_view>(text::kPortNotOpen));
}

TEST_F(BertSessionTest, OpenFailureLeavesTheControlsAlone) {
    session.Port().SelectPort(kDriver, 4);
    EXPECT_EQ(session.OpenPort(), QORVAL_PORT_NUMBER);
    EXPECT_FALSE(session.IsPortOpen());
    EXPECT_FALSE(session.StateEnabled());
}

TEST_F(BertSessionTest, OpenSetsUpControlsAndBufferBars) {
    ASSERT_EQ(session.OpenPort(), QORVAL_OK);
    EXPECT_EQ(session.PortButtonCaption(), text::kClose);
    EXPECT_TRUE(session.StartEnabled() && session.StateEnabled() && session.DiskEnabled());
    EXPECT_EQ(session.Display().txBufferRange, 40);
    EXPECT_EQ(session.Display().rxBufferRange, 50);
    fake.QueueFrame(kDriver, 1, {1}, 1000000);  // never read: it has not arrived
    Ticks(1);
    EXPECT_EQ(session.Display().txBuffers, "40");
    EXPECT_EQ(session.Display().txBufferBar, 40);
}

TEST_F(BertSessionTest, TestTimeCountsFromOpeningAcrossResetAndStateDialog) {
    ASSERT_EQ(session.OpenPort(), QORVAL_OK);
    fake.AdvanceMs(3723 * 1000 - 100);
    session.ResetStats();
    bool dialogShown = false;
    session.RunPortStateDialog([&](Qorval_Port& port) { dialogShown = port.IsOpen(); });
    EXPECT_TRUE(dialogShown);
    Ticks(1);
    EXPECT_EQ(session.Display().testTime, "001 : 02 : 03");
}

TEST_F(BertSessionTest, StatusShowsNoDataFromTheTwelfthTickWithoutFrames) {
    QueueTenFrames();
    ASSERT_EQ(session.OpenPort(), QORVAL_OK);
    WaitForFrames(10);
    for (int tick = 1; tick <= 11; ++tick) {
        Ticks(1);
        EXPECT_EQ(session.Display().status, text::kInSync) << "tick " << tick;
    }
    Ticks(1);
    EXPECT_EQ(session.Display().status, text::kNoData);
}

TEST_F(BertSessionTest, RatesEveryThreeSecondsAndZeroAfterAReset) {
    QueueTenFrames();
    ASSERT_EQ(session.OpenPort(), QORVAL_OK);
    WaitForFrames(10);
    Ticks(29);
    EXPECT_EQ(session.Display().rxRate, "0");
    Ticks(1);
    // 7 * 511 bytes of 8 bits in the first 3 seconds.
    EXPECT_EQ(session.Display().rxRate, "9539");
    EXPECT_EQ(session.Display().txRate, "0");
    session.ResetStats();
    EXPECT_EQ(session.Display().bytesChecked, "0");
    Ticks(30);
    EXPECT_EQ(session.Display().rxRate, "0") << "a count below its previous value shows 0";
}

TEST_F(BertSessionTest, ReopeningDoesNotDivideByAZeroInterval) {
    ASSERT_EQ(session.OpenPort(), QORVAL_OK);
    Ticks(30);
    session.ClosePort();
    QueueTenFrames();
    ASSERT_EQ(session.OpenPort(), QORVAL_OK);
    WaitForFrames(10);
    Ticks(30);  // the same 3 s on the new statistics clock as the previous computation
    EXPECT_EQ(session.Display().rxRate, "9539");
}

TEST_F(BertSessionTest, RepeatModeStopsTransmitAndDisablesStart) {
    ASSERT_EQ(session.OpenPort(), QORVAL_OK);
    ASSERT_FALSE(session.StartStop().has_value());
    EXPECT_EQ(session.TransmitButtonCaption(), text::kStop);
    ASSERT_TRUE(WaitFor([&] { return session.Counters().txFrames.load() > 0; }));
    session.SetRepeatMode(true);
    EXPECT_EQ(session.TransmitButtonCaption(), text::kStart);
    EXPECT_FALSE(session.StartEnabled());
    const uint32_t sent = session.Counters().txFrames.load();
    EXPECT_EQ(fake.TakeSentFrames(kDriver, 1).size(), sent) << "the worker has ended";
    session.SetRepeatMode(false);
    EXPECT_TRUE(session.StartEnabled());
}

TEST_F(BertSessionTest, ClosingUnchecksDiskThreadAndStopsItsWorker) {
    qorval::testing::TemporaryDirectory temp{"kessup"};
    ASSERT_FALSE(temp.Path().empty());
    const auto& dir = temp.Path();
    {
        BertSession withDisk(dir);
        ASSERT_EQ(withDisk.OpenPort(), QORVAL_OK);
        withDisk.SetDiskThread(true);
        EXPECT_TRUE(withDisk.DiskChecked());
        ASSERT_TRUE(WaitFor([&] { return std::filesystem::exists(dir / "testfile.dat"); }));
        withDisk.ClosePort();
        EXPECT_FALSE(withDisk.DiskChecked());
        EXPECT_FALSE(withDisk.DiskEnabled());
        EXPECT_EQ(withDisk.Display().status, text::kNoData);
    }
}

}  // namespace
