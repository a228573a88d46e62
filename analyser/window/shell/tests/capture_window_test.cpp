// Capture started and stopped from the window against the simulated pair: the frames in each
// display format and with their times, the log, a capture window the user closes, the idle
// rest, a macro run, the export of the capture and a replay of one.
#include <QComboBox>
#include <QDialog>
#include <QLineEdit>
#include <QRadioButton>
#include <QStatusBar>

#include "analyser/capture_record.h"
#include "analyser/window/document/capture_feed.h"
#include "analyser/window/shell/tests/shell_test_fixture.h"
#include "platform/window/testing/modal_driver.h"
#include "platform/window/testing/repaint_watch.h"
#include "platform/window/testing/screenshot.h"

namespace qorval::analyser::testing {
namespace {

class CaptureWindow : public ShellTest {
  protected:
    void StartCapture() {
        SelectPort1();
        Trigger(frame_->Actions().capture);
        ASSERT_TRUE(frame_->App().Capturing());
        ASSERT_NE(frame_->CaptureChild(), nullptr);
    }
    void WaitForFrames(uint64_t count) {
        ASSERT_TRUE(WaitFor([&] { return frame_->App().FramesShown() >= count; }))
            << frame_->App().FramesShown() << " of " << count;
    }
};

TEST_F(CaptureWindow, ShowsEveryFrameInTheFormatChosenFromTheMenu) {
    StartCapture();
    Trigger(frame_->Actions().hex);
    SendFromFarEnd(std::string("\x41\x20\x0D\x7F\x80", 5));
    WaitForFrames(1);
    Trigger(frame_->Actions().ascii);  // the last frame again, in ASCII, in place of its lines
    SendFromFarEnd("\x41\x00\x42");
    SendFromFarEnd(std::string("\x41\x00\x42", 3));
    WaitForFrames(3);
    Trigger(frame_->Actions().mixed);
    SendFromFarEnd(std::string(20, 'z'));
    WaitForFrames(4);
    EXPECT_EQ(CaptureText(),
              "0001 0000 A<SP><CR><DEL><HIGH>\n"
              "0002 0000 A\n"
              "0003 0000 41 00 42  A.B\n"
              "0004 0000 7A 7A 7A 7A 7A 7A 7A 7A 7A 7A 7A 7A 7A 7A 7A 7A  zzzzzzzzzzzzzzzz\n"
              "0004 0010 7A 7A 7A 7A  zzzz\n");
    EXPECT_TRUE(frame_->Actions().mixed->isChecked());
    EXPECT_FALSE(frame_->Actions().ascii->isChecked());

    Trigger(frame_->Actions().capture);
    EXPECT_FALSE(frame_->App().Capturing());
    EXPECT_EQ(frame_->CaptureChild(), nullptr);
    EXPECT_FALSE(frame_->PollTimerActive());
    EXPECT_EQ(messages_.LastStatus(), "Stopping capture of link data.");
}

TEST_F(CaptureWindow, KeepsUpWithABurstAndTheLogGetsEveryFrame) {
    SelectPort1();
    frame_->App().MutableParms().logFile = (dir_ / "log.txt").string();
    Trigger(frame_->Actions().enableLogging);
    Trigger(frame_->Actions().hex);
    Trigger(frame_->Actions().capture);
    constexpr int kFrames = 90;  // within the receiver's 100 buffers
    for (int i = 0; i < kFrames; ++i) {
        SendFromFarEnd(std::string(64, static_cast<char>(i)));
    }
    WaitForFrames(kFrames);
    const std::string text = CaptureText();
    EXPECT_NE(text.find("005A 0030 59 59"), std::string::npos);  // the last frame's last line
    EXPECT_EQ(std::count(text.begin(), text.end(), '\n'), kFrames * 4);
    Trigger(frame_->Actions().enableLogging);
    const std::string log = ReadFile(dir_ / "log.txt");
    EXPECT_EQ(std::count(log.begin(), log.end(), '\n'), kFrames * 4);
    EXPECT_NE(log.find("005A 0030 59 59"), std::string::npos);
    EXPECT_EQ(Fake().DroppedFrames(kDriver, 2), 0u);
}

// The port is removed under a running capture: the window's polling finds it, capture ends as
// the Stop command ends it, the user is told once why, and the idle polling stops.
TEST_F(CaptureWindow, APortThatGoesEndsCaptureAndIsSaidOnce) {
    StartCapture();
    SendFromFarEnd("one");
    WaitForFrames(1);
    Fake().RemovePort(kDriver, 1);
    ASSERT_TRUE(WaitFor([&] { return !frame_->App().Capturing(); }));
    EXPECT_EQ(frame_->CaptureChild(), nullptr);
    EXPECT_FALSE(frame_->PollTimerActive());
    EXPECT_FALSE(frame_->Actions().capture->isChecked());
    ASSERT_EQ(messages_.shown.size(), 1u);
    EXPECT_EQ(messages_.shown[0].caption, "Lombex for NT");
    EXPECT_NE(messages_.LastText().find("Port 1 was removed"), std::string::npos);
    EXPECT_EQ(frame_->App().FramesShown(), 1u);
}

TEST_F(CaptureWindow, UndoCannotTakeCapturedLinesAway) {
    StartCapture();
    SendFromFarEnd("one");
    SendFromFarEnd("two");
    WaitForFrames(2);
    const std::string text = CaptureText();
    ASSERT_EQ(text, "0001 0000 one\n0002 0000 two\n");
    frame_->UpdateCommandStates();
    EXPECT_FALSE(frame_->Actions().undo->isEnabled());
    QTest::keyClick(&frame_->CaptureChild()->View(), Qt::Key_Z, Qt::ControlModifier);
    frame_->CaptureChild()->View().undo();
    EXPECT_EQ(CaptureText(), text);
}

TEST_F(CaptureWindow, TypedTextAndCapturedLinesNeverRunIntoEachOther) {
    StartCapture();
    SendFromFarEnd("one");
    WaitForFrames(1);
    ASSERT_EQ(CaptureText(), "0001 0000 one\n");
    CLombex32View& view = frame_->CaptureChild()->View();
    view.moveCursor(QTextCursor::End);
    Type(view, "TYPED-BY");
    SendFromFarEnd("two");  // arrives while the user is still typing the line
    WaitForFrames(2);
    EXPECT_EQ(CaptureText(), "0001 0000 one\n0002 0000 two\nTYPED-BY");
    Type(view, "-USER");
    PressKey(view, Qt::Key_Return);
    SendFromFarEnd("three");
    WaitForFrames(3);
    EXPECT_EQ(CaptureText(), "0001 0000 one\n0002 0000 two\nTYPED-BY-USER\n0003 0000 three\n");
    // A format change shows the last frame again in place of its lines, the typing kept.
    Type(view, "note");
    Trigger(frame_->Actions().hex);
    EXPECT_EQ(CaptureText(),
              "0001 0000 one\n0002 0000 two\nTYPED-BY-USER\n0003 0000 74 68 72 65 65 \nnote");
}

TEST_F(CaptureWindow, AFormatChangeBeforeTheFirstFrameEmptiesTheWindow) {
    StartCapture();
    CLombex32View& view = frame_->CaptureChild()->View();
    Type(view, "typed before any frame");
    ASSERT_EQ(CaptureText(), "typed before any frame");
    Trigger(frame_->Actions().hex);
    EXPECT_EQ(CaptureText(), "");
    SendFromFarEnd("A");
    WaitForFrames(1);
    EXPECT_EQ(CaptureText(), "0001 0000 41 \n");
}

TEST_F(CaptureWindow, AFailedReselectionEndsTheCaptureOfThePortItClosed) {
    StartCapture();
    // Port 2 is held by the far end: choosing it closes port 1 and then cannot open.
    ui::testing::WhenModal([](QWidget* modal) {
        auto* dialog = qobject_cast<QDialog*>(modal);
        ASSERT_NE(dialog, nullptr);
        dialog->findChild<QComboBox*>("portList")->setCurrentIndex(1);  // "2 - Port002"
        dialog->accept();
    });
    Trigger(frame_->Actions().selectDriverPort);
    EXPECT_EQ(messages_.LastText(), "Could not open driver port!\nStatus = 00000009");
    EXPECT_FALSE(frame_->App().Capturing());
    EXPECT_TRUE(WaitFor([&] { return frame_->Children().empty(); }));
    EXPECT_EQ(messages_.LastStatus(), "Stopping capture of link data.");
    EXPECT_FALSE(frame_->Actions().capture->isChecked());
    EXPECT_TRUE(frame_->Actions().fileNew->isEnabled());
    EXPECT_TRUE(frame_->Actions().fileOpen->isEnabled());
    // With no port, Start/Stop asks for one instead of starting.
    Trigger(frame_->Actions().capture);
    EXPECT_EQ(messages_.LastText().rfind("Driver and Port have not been selected!", 0), 0u);
    EXPECT_FALSE(frame_->App().Capturing());
}

// A reselection first closes the port, which waits while the frames it queued leave the card
// (seconds on a slow line). The close is held here until the main window has painted: a
// window that froze for it never paints.
TEST_F(CaptureWindow, AReselectionWhoseCloseWaitsForQueuedFramesKeepsTheWindowPainting) {
    StartCapture();
    frame_->show();
    ui::testing::RepaintWatch watch(frame_.get());
    bool painted_while_closing = false;
    Fake().SetCloseWait(
        [&] { painted_while_closing = watch.WaitForPaints(3, std::chrono::seconds(10)); });
    SelectPort1();
    Fake().SetCloseWait(nullptr);
    EXPECT_TRUE(painted_while_closing);
    SendFromFarEnd("A");  // the port chosen again captures
    WaitForFrames(1);
    EXPECT_EQ(CaptureText(), "0001 0000 A\n");
}

TEST_F(CaptureWindow, AClosedCaptureWindowIsDroppedAndCaptureGoesOnIntoTheLog) {
    SelectPort1();
    frame_->App().MutableParms().logFile = (dir_ / "log.txt").string();
    Trigger(frame_->Actions().enableLogging);
    Trigger(frame_->Actions().capture);
    frame_->CaptureChild()->close();  // as the user would: no question for captured text
    ASSERT_TRUE(WaitFor([&] { return frame_->Feed() == nullptr && frame_->Children().empty(); }));
    EXPECT_TRUE(messages_.shown.empty());
    SendFromFarEnd("after");
    WaitForFrames(1);
    EXPECT_TRUE(frame_->App().Capturing());
    Trigger(frame_->Actions().capture);  // stopping closes nothing more and does not fail
    EXPECT_NE(ReadFile(dir_ / "log.txt").find("0001 0000 after"), std::string::npos);
}

TEST_F(CaptureWindow, AnIdleCaptureRestsBetweenPollsAndAFrameEndsTheRest) {
    StartCapture();
    ASSERT_TRUE(WaitFor([&] { return frame_->PollInterval() == CMainFrame::kIdleRestMs; }));
    SendFromFarEnd("x");
    WaitForFrames(1);
    EXPECT_TRUE(frame_->PollTimerActive());
}

TEST_F(CaptureWindow, RunsAMacroStartedFromTheMenus) {
    SelectPort1();
    const auto macro = WriteFile("macro.txt", "GET 1\nSEND 1\nSTOP\n");
    const auto send = WriteFile("send.txt", "REPLY\n");
    frame_->App().SetSendOptions(SendOptions{macro.string(), true, send.string(), false});
    ASSERT_TRUE(frame_->App().MacroMode()) << messages_.LastText();
    Trigger(frame_->Actions().enableTransmit);
    EXPECT_TRUE(frame_->Actions().enableTransmit->isChecked());
    Trigger(frame_->Actions().hex);
    Trigger(frame_->Actions().capture);
    SendFromFarEnd("Q");
    ASSERT_TRUE(WaitFor([&] {
        return messages_.LastText() == "Macro execution halted via STOP command!";
    }));
    EXPECT_EQ(ReceivedAtFarEnd(), std::vector<std::string>{"REPLY"});
    EXPECT_FALSE(frame_->Actions().enableTransmit->isChecked());
    EXPECT_EQ(CaptureText(), "0000 0000 51 \nSENT 0000 52 45 50 4C 59 \n");
}

TEST_F(CaptureWindow, ExportsTheCaptureAsPcapng) {
    StartCapture();
    EXPECT_FALSE(frame_->Actions().exportCapture->isEnabled());
    SendFromFarEnd("frame one");
    SendFromFarEnd("frame two");
    WaitForFrames(2);
    Trigger(frame_->Actions().capture);
    const auto path = dir_ / "capture.pcapng";
    messages_.ChooseNext(path.string());
    Trigger(frame_->Actions().exportCapture);
    const std::string file = ReadFile(path);
    EXPECT_NE(file.find("frame one"), std::string::npos);
    EXPECT_NE(file.find("frame two"), std::string::npos);
    EXPECT_NE(file.find("Wyvel32 port 1"), std::string::npos);
    EXPECT_EQ(messages_.LastStatus(), "Capture exported to " + path.string() + ".");
    messages_.ChooseNext((dir_ / "missing" / "x.pcapng").string());
    Trigger(frame_->Actions().exportCapture);
    EXPECT_EQ(messages_.LastText(),
              "Cannot write the capture file " + (dir_ / "missing" / "x.pcapng").string() + ".");
}

TEST_F(CaptureWindow, ShowsEachFramesTimeWhenTheTimeColumnIsChosen) {
    // The window's clock and the frames' times are the fake library's.
    frame_->App().SetWallClock([] { return fake::FakeLibrary::ArrivalNsOf(Fake().NowMs()); });
    // A fixed-pitch display font, as a user who lines up columns chooses.
    frame_->App().View().font = FontSetting{-13, 400, 0, 0, 0x31, "DejaVu Sans Mono"};
    frame_->resize(900, 560);
    frame_->show();
    StartCapture();
    EXPECT_TRUE(frame_->Actions().timeOff->isChecked());
    Trigger(frame_->Actions().timeSincePrevious);
    EXPECT_TRUE(frame_->Actions().timeSincePrevious->isChecked());
    EXPECT_FALSE(frame_->Actions().timeOff->isChecked());
    Trigger(frame_->Actions().hex);
    Fake().AdvanceMs(5);
    SendFromFarEnd("\x03\x3F");
    Fake().AdvanceMs(28);
    SendFromFarEnd(std::string("\x01\x11 poll\0", 8));
    WaitForFrames(2);
    EXPECT_EQ(CaptureText(),
              "   0.005000 0001 0000 03 3F \n"
              "   0.028000 0002 0000 01 11 20 70 6F 6C 6C 00 \n");
    // A few more, for the picture: an answer, information both ways, an acknowledgement.
    const std::pair<uint32_t, std::string> more[] = {
        {1, "\x01\x73"},
        {12, std::string("\x03\x00Link test frame one, 0123456789", 33)},
        {1, "\x01\x21"},
        {13, std::string("\x03\x22Link test frame two", 21)}};
    for (const auto& [gapMs, bytes] : more) {
        Fake().AdvanceMs(gapMs);
        SendFromFarEnd(bytes);
    }
    WaitForFrames(6);
    CaptureText();
    frame_->CaptureChild()->showMaximized();
    frame_->statusBar()->showMessage(
        QStringLiteral("Showing each frame's time since the frame before it."));
    EXPECT_TRUE(ui::testing::SaveScreenshot(*frame_, "lombex32-time-column"));
    Trigger(frame_->Actions().timeSinceStart);  // the last frame again, against the start
    EXPECT_TRUE(CaptureText().ends_with("\n   0.060000 0006 0000 03 22 4C 69 6E 6B 20 74 65 73 74 "
                                        "20 66 72 61 6D \n"
                                        "            0006 0010 65 20 74 77 6F \n"))
        << CaptureText();
    Trigger(frame_->Actions().timeOff);
    EXPECT_TRUE(CaptureText().ends_with("\n0006 0010 65 20 74 77 6F \n")) << CaptureText();
}

TEST_F(CaptureWindow, ReplaysACaptureFileOntoThePortFromTheMenu) {
    SelectPort1();
    CaptureRecord record;
    record.OnFrame({Bytes("first"), false, 0, 2'000'000'000});
    record.OnFrame({Bytes("sent by us"), true, 0, 2'000'000'000});
    record.OnFrame({Bytes("second"), false, 0, 2'500'000'000});
    const auto file = dir_ / "link.pcapng";
    ASSERT_TRUE(record.WritePcapng(file, "Wyvel32 port 2"));
    // The replay's clock stands still: the second frame stays due half a second ahead.
    frame_->App().SetReplayClock([] { return uint64_t{7'000'000'000}; });
    ui::testing::WhenModal([&](QWidget* modal) {
        auto* dialog = qobject_cast<QDialog*>(modal);
        ASSERT_NE(dialog, nullptr);
        dialog->findChild<QLineEdit*>("captureFile")->setText(QString::fromStdString(file.string()));
        dialog->accept();
    });
    Trigger(frame_->Actions().replay);
    EXPECT_TRUE(frame_->App().Replaying());
    EXPECT_TRUE(frame_->Actions().replay->isChecked());
    EXPECT_TRUE(frame_->ReplayTimerActive());
    ASSERT_TRUE(WaitFor([&] { return !ReceivedAtFarEnd().empty(); }));
    // The same command stops it.
    Trigger(frame_->Actions().replay);
    EXPECT_FALSE(frame_->App().Replaying());
    EXPECT_FALSE(frame_->Actions().replay->isChecked());
    EXPECT_FALSE(frame_->ReplayTimerActive());
    EXPECT_EQ(messages_.LastStatus(), "Replay stopped after 1 of 2 frames.");

    // As fast as the line takes them, to the end.
    frame_->App().SetReplayClock({});
    ui::testing::WhenModal([&](QWidget* modal) {
        auto* dialog = qobject_cast<QDialog*>(modal);
        ASSERT_NE(dialog, nullptr);
        dialog->findChild<QLineEdit*>("captureFile")->setText(QString::fromStdString(file.string()));
        dialog->findChild<QRadioButton*>("lineTiming")->setChecked(true);
        dialog->accept();
    });
    Trigger(frame_->Actions().replay);
    EXPECT_FALSE(frame_->App().Replaying());
    EXPECT_EQ(messages_.LastStatus(), "Replay finished: 2 frames sent.");
    EXPECT_EQ(ReceivedAtFarEnd(), (std::vector<std::string>{"first", "second"}));
}

TEST_F(CaptureWindow, PictureOfTheMainWindowWithACaptureWindow) {
    frame_->resize(900, 560);
    frame_->show();
    StartCapture();
    Trigger(frame_->Actions().mixed);
    SendFromFarEnd(std::string("\x03\x13Link test frame 0123456789", 28));
    SendFromFarEnd(std::string("\x01\x11\x7E\x00\xFF status poll", 17));
    WaitForFrames(2);
    CaptureText();
    frame_->CaptureChild()->showMaximized();
    frame_->statusBar()->showMessage(QStringLiteral("Starting to capture link data."));
    EXPECT_TRUE(ui::testing::SaveScreenshot(*frame_, "lombex32-main-window"));
}

}  // namespace
}  // namespace qorval::analyser::testing
