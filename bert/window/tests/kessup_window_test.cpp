// The tester's window as a user drives it: two windows over the simulated pair of a driver
// host in this process, one testing on port 1 and one repeating on port 2, both through the
// real port access library and liborvane's dialogs.

#include "bert/window/kessup_window.h"

#include <gtest/gtest.h>
#include <sys/resource.h>

#include <QAction>
#include <QCheckBox>
#include <QLineEdit>
#include <QMessageBox>
#include <QProgressBar>
#include <QPushButton>
#include <QTest>
#include <chrono>
#include <filesystem>
#include <memory>

#include "bert/window/tests/kessup_window_driver.h"
#include "host/testing/in_process_host.h"
#include "platform/testing/temporary_directory.h"
#include "platform/window/testing/modal_driver.h"
#include "platform/window/testing/repaint_watch.h"
#include "platform/window/testing/screenshot.h"
#include "portaccess/qorval_port.h"

namespace qorval::bert::window {
namespace {

using host::testing::InProcessHost;
using testing::Click;
using testing::OpenThroughDialog;
using testing::Shown;
using testing::WaitForStatus;
using ui::testing::AnswerNextMessageBox;
using ui::testing::SaveScreenshot;
using ui::testing::SeenMessageBox;
using ui::testing::WhenModal;

constexpr int kPort1 = 0, kPort2 = 1;  // rows of the Open Port dialog's port list

QCheckBox* Box(KessupWindow& w, const char* name) {
    return w.findChild<QCheckBox*>(name);
}

bool Enabled(KessupWindow& w, const char* name) {
    auto* widget = w.findChild<QWidget*>(name);
    return widget != nullptr && widget->isEnabled();
}

// User and system processor time of this process so far.
std::chrono::microseconds ProcessorTime() {
    rusage usage{};
    ::getrusage(RUSAGE_SELF, &usage);
    const auto time = [](const timeval& t) {
        return std::chrono::seconds(t.tv_sec) + std::chrono::microseconds(t.tv_usec);
    };
    return time(usage.ru_utime) + time(usage.ru_stime);
}

QProgressBar* Bar(KessupWindow& w, const char* name) {
    return w.findChild<QProgressBar*>(name);
}

// Another program's try at the port: it opens only when nobody holds it.
bool PortIsFree(uint16_t port) {
    Qorval_Port probe(QORVAL_DRIVER_WYVEL32, port);
    return probe.Open() == QORVAL_OK && probe.Close() == QORVAL_OK;
}

class KessupWindowTest : public ::testing::Test {
  protected:
    void SetUp() override {
        ASSERT_EQ(host.Error(), "");
        ASSERT_TRUE(tester.Initialise());
        ASSERT_TRUE(repeater.Initialise());
        tester.show();
        repeater.show();
    }

    // The repeating end on port 2, the tester on port 1, sending and in sync.
    void RunTestInSync() {
        ASSERT_TRUE(OpenThroughDialog(repeater, kPort2));
        Click(repeater, "repeatMode");
        ASSERT_TRUE(OpenThroughDialog(tester, kPort1));
        Click(tester, "startButton");
        ASSERT_TRUE(WaitForStatus(tester, "In Sync")) << Shown(tester, "status").toStdString();
    }

    uint32_t TxFrames() const { return tester.Session().Counters().txFrames.load(); }
    uint32_t RxFrames() const { return tester.Session().Counters().rxFrames.load(); }

    InProcessHost host{host::BusOptions{}};
    qorval::testing::TemporaryDirectory disk{"kessup"};
    KessupWindow tester{disk.Path()}, repeater{disk.Path()};
};

TEST_F(KessupWindowTest, StartsClosedWithTheInitialDisplay) {
    EXPECT_EQ(tester.windowTitle(), "Kessup");
    EXPECT_EQ(Shown(tester, "portButton"), "Open ...");
    EXPECT_EQ(Shown(tester, "startButton"), "Start");
    EXPECT_EQ(Shown(tester, "testTime"), "000:00:00");
    EXPECT_EQ(Shown(tester, "status"), "No Data");
    for (const char* counter : {"txFrames", "rxFrames", "bytesChecked", "bitErrors",
                                "overrunErrors", "crcErrors", "lineErrors", "otherErrors",
                                "syncLosses", "txRate", "rxRate", "txBuffers", "rxBuffers"}) {
        EXPECT_EQ(Shown(tester, counter), "0") << counter;
    }
    EXPECT_FALSE(Enabled(tester, "startButton"));
    EXPECT_FALSE(Enabled(tester, "stateButton"));
    EXPECT_FALSE(Enabled(tester, "diskThread"));
    EXPECT_TRUE(Enabled(tester, "portButton"));
    EXPECT_EQ(Bar(tester, "txBufferBar")->value(), 0);
}

TEST_F(KessupWindowTest, OpenStartAgainstARepeaterReachesInSyncAndStopEndsTheTraffic) {
    // The buffer counts the driver reports, read before either window holds the port.
    PortInfo info{};
    {
        Qorval_Port probe(QORVAL_DRIVER_WYVEL32, 1);
        ASSERT_EQ(probe.Open(), QORVAL_OK);
        ASSERT_EQ(probe.GetPortInfo(info), QORVAL_OK);
    }
    ASSERT_TRUE(OpenThroughDialog(repeater, kPort2));
    Click(repeater, "repeatMode");
    EXPECT_TRUE(Box(repeater, "repeatMode")->isChecked());
    EXPECT_FALSE(Enabled(repeater, "startButton")) << "repeat mode disables Start";

    ASSERT_TRUE(OpenThroughDialog(tester, kPort1));
    EXPECT_TRUE(Enabled(tester, "startButton"));
    EXPECT_TRUE(Enabled(tester, "stateButton"));
    EXPECT_TRUE(Enabled(tester, "diskThread"));
    EXPECT_EQ(Bar(tester, "txBufferBar")->maximum(), info.txBuffers);
    EXPECT_EQ(Bar(tester, "rxBufferBar")->maximum(), info.rxBuffers);
    EXPECT_TRUE(WaitForStatus(tester, "No Data")) << "no frame has arrived yet";

    Click(tester, "startButton");
    EXPECT_EQ(Shown(tester, "startButton"), "Stop");
    ASSERT_TRUE(WaitForStatus(tester, "In Sync"));
    ASSERT_TRUE(WaitForStatus(repeater, "In Sync")) << "the repeater checks what it sends back";
    // The rates come every 3 seconds; the time reads "000 : 00 : 0S".
    ASSERT_TRUE(QTest::qWaitFor([&] { return Shown(tester, "rxRate") != "0"; }, 60000));
    EXPECT_NE(Shown(tester, "txRate"), "0");
    EXPECT_TRUE(Shown(tester, "testTime").startsWith("000 : 00 : ")) << Shown(tester, "testTime").toStdString();
    EXPECT_EQ(Shown(tester, "bitErrors"), "0");
    EXPECT_EQ(Shown(tester, "syncLosses"), "0");
    EXPECT_NE(Shown(tester, "rxFrames"), "0");
    EXPECT_NE(Shown(repeater, "txFrames"), "0") << "every echo counts as sent";
    EXPECT_TRUE(SaveScreenshot(tester, "kessup-window"));

    Click(tester, "startButton");
    EXPECT_EQ(Shown(tester, "startButton"), "Start");
    // With nothing sent the echoes end, and about 1.2 s later the window says so.
    EXPECT_TRUE(WaitForStatus(tester, "No Data"));
    EXPECT_TRUE(WaitForStatus(repeater, "No Data"));
}

TEST_F(KessupWindowTest, RepeatModeStopsTheTransmitterAndGivesStartBackWhenCleared) {
    ASSERT_NO_FATAL_FAILURE(RunTestInSync());
    Click(tester, "repeatMode");
    EXPECT_EQ(Shown(tester, "startButton"), "Start");
    EXPECT_FALSE(Enabled(tester, "startButton"));
    Click(tester, "repeatMode");
    EXPECT_TRUE(Enabled(tester, "startButton"));
    EXPECT_EQ(Shown(tester, "startButton"), "Start");
    const uint32_t sentBefore = TxFrames();
    Click(tester, "startButton");
    EXPECT_EQ(Shown(tester, "startButton"), "Stop");
    EXPECT_TRUE(QTest::qWaitFor([&] { return TxFrames() > sentBefore + 100; }, 60000));
}

TEST_F(KessupWindowTest, StateDialogPausesTheWorkersAndTheTestGoesOn) {
    ASSERT_NO_FATAL_FAILURE(RunTestInSync());
    Click(tester, "diskThread");
    ASSERT_TRUE(Box(tester, "diskThread")->isChecked());
    const QString timeBefore = Shown(tester, "testTime");
    uint32_t sentDuringDialog = 0, sentAtDialog = 0;
    bool sawDialog = false;
    WhenModal([&](QWidget* dialog) {
        sawDialog = dialog->windowTitle() == "Port Information";
        // The workers are stopped while the dialog is up.
        sentAtDialog = TxFrames();
        QTest::qWait(300);
        sentDuringDialog = TxFrames();
        if (auto* ok = dialog->findChild<QPushButton*>("okButton")) {
            ok->click();
        }
    });
    Click(tester, "stateButton");
    EXPECT_TRUE(sawDialog);
    EXPECT_EQ(sentDuringDialog, sentAtDialog);
    EXPECT_EQ(Shown(tester, "startButton"), "Stop");
    EXPECT_TRUE(Box(tester, "diskThread")->isChecked());
    EXPECT_TRUE(QTest::qWaitFor([&] { return TxFrames() > sentAtDialog + 100; }, 60000))
        << "the transmitter runs again";
    EXPECT_TRUE(WaitForStatus(tester, "In Sync"));
    EXPECT_GE(Shown(tester, "testTime"), timeBefore) << "the test time counts on from the open";
    EXPECT_TRUE(std::filesystem::exists(disk.Path() / "testfile.dat"));
}

TEST_F(KessupWindowTest, ResetStatsZeroesTheCountersAndKeepsTheTestTime) {
    ASSERT_NO_FATAL_FAILURE(RunTestInSync());
    Click(tester, "startButton");  // Stop: the counters then stand still
    ASSERT_TRUE(WaitForStatus(tester, "No Data"));
    const QString time = Shown(tester, "testTime");
    Click(tester, "resetStatsButton");
    for (const char* counter : {"txFrames", "rxFrames", "bytesChecked", "bitErrors", "syncLosses"}) {
        EXPECT_EQ(Shown(tester, counter), "0") << counter;
    }
    EXPECT_GE(Shown(tester, "testTime"), time);
    EXPECT_NE(Shown(tester, "testTime"), "000:00:00");
}

TEST_F(KessupWindowTest, CloseStopsEveryWorkerAndFreesThePort) {
    ASSERT_NO_FATAL_FAILURE(RunTestInSync());
    Click(tester, "diskThread");
    Click(tester, "portButton");
    EXPECT_EQ(Shown(tester, "portButton"), "Open ...");
    EXPECT_EQ(Shown(tester, "startButton"), "Start");
    EXPECT_FALSE(Enabled(tester, "startButton"));
    EXPECT_FALSE(Enabled(tester, "stateButton"));
    EXPECT_FALSE(Enabled(tester, "diskThread"));
    EXPECT_FALSE(Box(tester, "diskThread")->isChecked());
    EXPECT_EQ(Shown(tester, "status"), "No Data");
    EXPECT_EQ(Bar(tester, "txBufferBar")->value(), 0);
    EXPECT_EQ(Bar(tester, "rxBufferBar")->value(), 0);
    const uint32_t sent = TxFrames(), received = RxFrames();
    EXPECT_TRUE(PortIsFree(1));
    EXPECT_EQ(TxFrames(), sent);
    EXPECT_EQ(RxFrames(), received);

    // Opened again, the same window tests again.
    ASSERT_TRUE(OpenThroughDialog(tester, kPort1));
    Click(tester, "startButton");
    EXPECT_TRUE(WaitForStatus(tester, "In Sync"));
}

// "Close" right after "Start" on a slow line: the close waits while the full ring's frames
// leave the card (a second or more at 4 kbit/s, one 511-byte frame a second), and the window
// goes on painting meanwhile. A window whose thread the close held would paint only after it.
TEST_F(KessupWindowTest, CloseOfAFullRingOnASlowLineKeepsTheWindowPainting) {
    ASSERT_TRUE(host.SetPortValue(1, "Divisor", 4999));
    ASSERT_TRUE(OpenThroughDialog(tester, kPort1));
    Click(tester, "startButton");
    ASSERT_TRUE(QTest::qWaitFor([&] { return TxFrames() >= 2; }, 10000));
    ui::testing::RepaintWatch watch(&tester);
    Click(tester, "portButton");
    EXPECT_GE(watch.Paints(), 5) << "20 ms apart while the close takes a second or more";
    EXPECT_EQ(Shown(tester, "portButton"), "Open ...");
    EXPECT_TRUE(PortIsFree(1));
}

TEST_F(KessupWindowTest, ClosingTheWindowWhileATestRunsStopsItAndClosesThePort) {
    ASSERT_NO_FATAL_FAILURE(RunTestInSync());
    Click(tester, "diskThread");
    EXPECT_TRUE(tester.close());
    EXPECT_FALSE(tester.isVisible());
    EXPECT_FALSE(tester.Session().IsPortOpen());
    EXPECT_TRUE(PortIsFree(1));
    // Exit does the same for the repeater.
    Click(repeater, "exitButton");
    EXPECT_FALSE(repeater.isVisible());
    EXPECT_TRUE(PortIsFree(2));
}

// The port goes under a running test (surprise-removed; a killed host ends the same way): the
// window says so once with the cause, closes the port as "Close" does, and opens the other port
// afterwards. The statistics stay as the test left them.
TEST_F(KessupWindowTest, APortThatGoesIsSaidOnceAndClosedAndAnotherOpensAfterwards) {
    ASSERT_NO_FATAL_FAILURE(RunTestInSync());
    Click(tester, "diskThread");
    SeenMessageBox seen;
    WhenModal([&](QWidget* box) {
        EXPECT_TRUE(SaveScreenshot(*box, "kessup-port-lost"));
        AnswerNextMessageBox(QMessageBox::Ok, &seen);
    });
    ASSERT_EQ(host.Host().bus().SurpriseRemove(1), "");
    ASSERT_TRUE(QTest::qWaitFor([&] { return !seen.text.isEmpty(); }, 10000));
    EXPECT_EQ(seen.caption, "Kessup");
    EXPECT_EQ(seen.icon, QMessageBox::Warning);
    EXPECT_TRUE(seen.text.contains("Port 1 was removed")) << seen.text.toStdString();
    EXPECT_TRUE(seen.text.contains("wyvel32 run"));
    EXPECT_EQ(Shown(tester, "portButton"), "Open ...");
    EXPECT_EQ(Shown(tester, "startButton"), "Start");
    EXPECT_FALSE(Enabled(tester, "startButton"));
    EXPECT_FALSE(Box(tester, "diskThread")->isChecked());
    EXPECT_NE(Shown(tester, "rxFrames"), "0");
    EXPECT_EQ(Shown(tester, "otherErrors"), "0");

    // Nothing polls the dead handle: with the repeater's port closed as well, the process
    // rests while the windows' timers tick (a worker left spinning would take the whole
    // second).
    Click(repeater, "portButton");
    const auto before = ProcessorTime();
    QTest::qWait(1000);
    EXPECT_LT(ProcessorTime() - before, std::chrono::milliseconds(250));

    // Port 2, now the only one listed, opens in the same window.
    EXPECT_TRUE(OpenThroughDialog(tester, 0));
}

TEST_F(KessupWindowTest, AboutIsInTheContextMenuAndOnF1) {
    ASSERT_EQ(tester.contextMenuPolicy(), Qt::ActionsContextMenu);
    ASSERT_TRUE(tester.actions().contains(tester.AboutAction()));
    EXPECT_EQ(tester.AboutAction()->text(), "&About Kessup...");
    EXPECT_EQ(tester.AboutAction()->shortcut(), QKeySequence(Qt::Key_F1));
    SeenMessageBox seen;
    WhenModal([&](QWidget* box) {
        EXPECT_TRUE(SaveScreenshot(*box, "kessup-about"));
        AnswerNextMessageBox(QMessageBox::Ok, &seen);
    });
    tester.activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(&tester));
    QTest::keyClick(&tester, Qt::Key_F1);
    EXPECT_EQ(seen.caption, "About Kessup");
    EXPECT_EQ(seen.text, "Kessup Version 1.0");
}

// The timer refused: the message, and the program does not go on.
class KessupWindowWithoutTimers : public KessupWindow {
  protected:
    int StartRefreshTimer() override { return 0; }
};

TEST(KessupWindowStart, WithoutATimerSaysSoAndDoesNotStart) {
    KessupWindowWithoutTimers window;
    SeenMessageBox seen;
    AnswerNextMessageBox(QMessageBox::Ok, &seen);
    EXPECT_FALSE(window.Initialise());
    EXPECT_EQ(seen.text,
              "All timers are in use. Please close some timers and restart the application.");
    EXPECT_EQ(seen.icon, QMessageBox::Critical);
}

TEST(KessupWindowStart, WithoutADriverHostSaysHowToStartIt) {
    qorval::testing::TemporaryDirectory emptyPrefix{"kessup"};  // a prefix where no host listens
    ::setenv("QORVAL_PREFIX", emptyPrefix.Path().c_str(), 1);
    KessupWindow window;
    window.show();
    SeenMessageBox seen;
    AnswerNextMessageBox(QMessageBox::Ok, &seen);
    EXPECT_TRUE(window.Initialise());
    EXPECT_EQ(seen.caption, "Kessup");
    EXPECT_EQ(seen.icon, QMessageBox::Warning);
    EXPECT_TRUE(seen.text.contains("wyvel32 run")) << seen.text.toStdString();
    // "Open ..." then says it once more and shows no port to choose.
    SeenMessageBox again;
    AnswerNextMessageBox(QMessageBox::Ok, &again, [](QWidget* dialog) { dialog->close(); });
    Click(window, "portButton");
    EXPECT_TRUE(again.text.contains("wyvel32 run"));
    EXPECT_EQ(Shown(window, "portButton"), "Open ...");
}

}  // namespace
}  // namespace qorval::bert::window
