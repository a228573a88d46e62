// Capture, display, logging and send-file mode, through the engine's commands against the fake
// library.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/file.h>
#include <unistd.h>

#include "analyser/frame_format.h"
#include "analyser/tests/engine_fixture.h"

namespace qorval::analyser::testing {
namespace {

using CaptureTest = EngineTest;

TEST_F(CaptureTest, CommandsThatNeedAPortSayWhenNoneIsSelected) {
    ASSERT_TRUE(app_->Startup());
    app_->ToggleCapture();
    EXPECT_FALSE(app_->Capturing());
    EXPECT_EQ(ui_.LastMessage(),
              "Driver and Port have not been selected!\nExecute \"Select Driver/Port\" command "
              "and\ntry this command again!");
    EXPECT_EQ(ui_.user.shown.back().caption, "Lombex for NT");
}

TEST_F(CaptureTest, FramesAreNumberedFromCaptureStartAndReplaceTheWindowText) {
    OpenPort();
    Queue("old");
    StartCapture();
    EXPECT_EQ(ui_.LastStatus(), "Starting to capture link data.");
    PollFrames(1);
    Queue("AB");
    PollFrames(2);
    EXPECT_EQ(ui_.view.text_, "0002 0000 AB\r\n");
    app_->ToggleCapture();
    EXPECT_FALSE(ui_.windowOpen);
    EXPECT_EQ(ui_.LastStatus(), "Stopping capture of link data.");

    Queue("C");
    StartCapture();
    PollFrames(1);
    EXPECT_EQ(ui_.view.text_, "0001 0000 C\r\n");
}

TEST_F(CaptureTest, ReadErrorsAreShownAndCountedAsFrames) {
    OpenPort();
    StartCapture();
    Queue("payload", QORVAL_CRC_ERROR);
    PollFrames(1);
    EXPECT_EQ(ui_.view.text_, "0001 0000 CRC<SP>error<SP>on<SP>GetData!\r\n");
    EXPECT_EQ(app_->FrameCount(), 1u);

    app_->SetDisplayFormat(kDisplayHex);
    EXPECT_EQ(ui_.view.text_.substr(0, 25), "0001 0000 43 52 43 20 65 ");

    Queue("x");
    Fake().FailNext("QORVAL_GetDataTimed", 99);
    PollFrames(2);
    EXPECT_EQ(app_->FrameCount(), 2u);
    EXPECT_NE(ui_.view.text_.find("55 6E 6B 6E"), std::string::npos);  // "Unkn"
    EXPECT_TRUE(ui_.user.shown.empty());
}

TEST_F(CaptureTest, DisplayFormatCommands) {
    OpenPort();
    app_->SetDisplayFormat(kDisplayMixed);  // not capturing: the setting and the status only
    EXPECT_EQ(ui_.LastStatus(), "Setting display format to mixed hex/ASCII.");
    EXPECT_EQ(ui_.menu.displayFormat, kDisplayMixed);

    StartCapture();
    ui_.view.text_ = "stale";
    app_->SetDisplayFormat(kDisplayHex);  // nothing shown yet: the window empties
    EXPECT_EQ(ui_.view.text_, "");
    EXPECT_EQ(ui_.LastStatus(), "Setting display format to hexidecimal.");

    Queue("A");
    PollFrames(1);
    app_->PollStep();  // nothing waiting: the last frame stays the current one
    app_->SetDisplayFormat(kDisplayAscii);
    EXPECT_EQ(ui_.view.text_, "0001 0000 A\r\n");
    EXPECT_EQ(ui_.LastStatus(), "Setting display format to ASCII.");
}

TEST_F(CaptureTest, FormattedLogAppendsLinesEndingInCarriageReturnTwice) {
    const auto log = WriteFile("log.txt", "before\n");
    OpenPort();
    app_->MutableParms().logFile = log.string();
    app_->ToggleLogging();
    ASSERT_TRUE(app_->LoggingEnabled());
    EXPECT_EQ(ui_.LastStatus(), "Logging enabled.");
    StartCapture();
    Queue("A");
    Queue("B");
    PollFrames(2);
    app_->SetDisplayFormat(kDisplayHex);  // a new format is not logged again
    app_->ToggleLogging();
    EXPECT_EQ(ui_.LastStatus(), "Logging disabled.");
    EXPECT_EQ(ReadFile(log), "before\n0001 0000 A\r\r\n0002 0000 B\r\r\n");
}

TEST_F(CaptureTest, RawLogHoldsTheExactBytesWithNothingBetweenFrames) {
    const auto log = dir_ / "raw.bin";
    OpenPort();
    app_->SetLoggingOptions(log.string(), true);
    EXPECT_EQ(ui_.LastStatus(), "Logging options changed. Logging disabled.");
    app_->ToggleLogging();
    StartCapture();
    Queue(std::string("\n\r\x00", 3));
    Queue("Z");
    PollFrames(2);
    app_->ToggleLogging();
    EXPECT_EQ(ReadFile(log), std::string("\n\r\x00Z", 4));
}

TEST_F(CaptureTest, LogFileHeldElsewhereLeavesLoggingOffSilently) {
    const auto log = WriteFile("held.txt", "");
    const int fd = ::open(log.c_str(), O_RDONLY);
    ASSERT_EQ(::flock(fd, LOCK_EX), 0);
    OpenPort();
    app_->MutableParms().logFile = log.string();
    const size_t statuses = ui_.user.statuses.size();
    app_->ToggleLogging();
    EXPECT_FALSE(app_->LoggingEnabled());
    EXPECT_EQ(ui_.user.statuses.size(), statuses);
    EXPECT_TRUE(ui_.user.shown.empty());
    ::close(fd);
}

TEST_F(CaptureTest, ClosedCaptureWindowIsDroppedAndCaptureGoesOn) {
    const auto log = dir_ / "log.txt";
    OpenPort();
    app_->SetLoggingOptions(log.string(), true);
    app_->ToggleLogging();
    StartCapture();
    app_->CaptureWindowClosed();
    Queue("after");
    PollFrames(1);
    EXPECT_EQ(ui_.view.updates_, 0);
    app_->ToggleCapture();  // writes out the log's buffer
    EXPECT_EQ(ReadFile(log), "after");
}

TEST_F(CaptureTest, SendFileAnswersEachReceivedFrameWithOneBlock) {
    OpenPort();
    app_->SetSendOptions({"", false, WriteFile("send.txt", "ONE\nTWO\n").string(), true});
    EXPECT_EQ(ui_.LastStatus(), "Send Options changed. Transmission stopped.");
    app_->ToggleTransmit();
    EXPECT_EQ(ui_.LastStatus(), "Enabling transmission of data.");
    StartCapture();
    PollFrames(1);  // send-first: a block before any frame arrives
    EXPECT_EQ(ui_.view.text_, "SENT 0000 ONE\r\n");
    for (int i = 0; i < 5; ++i) {
        app_->PollStep();  // nothing received: nothing more is sent
    }
    Queue("Q");
    PollFrames(3);
    EXPECT_EQ(ui_.view.text_, "SENT 0000 TWO\r\n");
    EXPECT_EQ(Sent(), (std::vector<std::string>{"ONE", "TWO"}));
    app_->ToggleTransmit();
    EXPECT_EQ(ui_.LastStatus(), "Disabling transmission of data.");
}

TEST_F(CaptureTest, SendFileStepShowsWhyABlockDidNotGoOut) {
    OpenPort();
    app_->SetSendOptions({"", false, WriteFile("send.txt", "DATA\n").string(), true});
    app_->ToggleTransmit();
    Fake().SetTxBuffersFree(kDriver, 1, 0);
    StartCapture();
    PollFrames(1);
    EXPECT_EQ(ui_.view.text_, "SENT 0000 NO<SP>FREE<SP>TRANSMIT<SP>BUFFERS!\r\n");

    Fake().SetTxBuffersFree(kDriver, 1, std::nullopt);
    Fake().FailNext("QORVAL_PutData", QORVAL_GENERAL_ERROR);
    Queue("go");
    PollFrames(3);
    EXPECT_EQ(ui_.view.text_, "SENT 0000 ERROR<SP>SENDING<SP>FRAME!\r\n");
    EXPECT_TRUE(app_->TransmitEnabled());
    EXPECT_TRUE(Sent().empty());
}

// A port that goes (host killed or port removed) while capture runs: receiving, a macro's SEND
// waiting for a buffer, or sending a file. The step that finds it stops capture as the Stop
// command does, gives the handle back and says why once; nothing is shown as a frame, and
// polling stops (a dead handle would only fail). Select Driver/Port opens a port again.
TEST_F(CaptureTest, APortThatGoesStopsCaptureAndIsSaidOnce) {
    enum class Mode { Receive, MacroSend, SendFile };
    for (const Mode mode : {Mode::Receive, Mode::MacroSend, Mode::SendFile}) {
        const bool removed = mode == Mode::MacroSend;  // the host killed in the others
        SCOPED_TRACE(int(mode));
        Fake().Reset();
        Fake().AddPort(PortSpec(1));
        app_ = std::make_unique<CAnalyserApp>(ui_, dir_ / "lombex32.ini");
        ui_.user.shown.clear();
        OpenPort();
        if (mode == Mode::MacroSend) {
            RunMacroProgram("A: SEND 1\nGOTO A\n");
            Fake().SetTxBuffersFree(kDriver, 1, 0);
        } else if (mode == Mode::SendFile) {
            app_->SetSendOptions({"", false, WriteFile("send.txt", "DATA\n").string(), true});
            app_->ToggleTransmit();
            StartCapture();
        } else {
            StartCapture();
            Queue("before");
            PollFrames(1);
        }
        const uint64_t shown = app_->FramesShown();
        if (removed) {
            Fake().RemovePort(kDriver, 1);
        } else {
            Fake().KillHost();
        }
        for (int i = 0; i < 5; ++i) {
            app_->PollStep();
        }
        EXPECT_FALSE(app_->Capturing());
        EXPECT_FALSE(ui_.windowOpen);
        EXPECT_EQ(ui_.LastStatus(), "Stopping capture of link data.");
        EXPECT_EQ(app_->FramesShown(), shown) << ui_.view.text_;
        EXPECT_EQ(app_->LostPort(), removed ? PortLoss::kPortRemoved : PortLoss::kHostGone);
        ASSERT_EQ(ui_.user.shown.size(), 1u);
        EXPECT_EQ(ui_.user.shown[0].caption, "Lombex for NT");
        EXPECT_NE(ui_.LastMessage().find("\"wyvel32 run\""), std::string::npos);

        Fake().RestartHost();
        Fake().AddPort(PortSpec(1));
        ASSERT_TRUE(app_->SelectDriverPort());
        EXPECT_EQ(app_->LostPort(), PortLoss::kNone);
        app_->ToggleCapture();
        EXPECT_TRUE(app_->Capturing());
        app_->ToggleCapture();
    }
}

TEST_F(CaptureTest, MissingSendFileLeavesTransmissionOff) {
    OpenPort();
    app_->SetSendOptions({"", false, (dir_ / "absent.txt").string(), false});
    app_->ToggleTransmit();
    EXPECT_FALSE(app_->TransmitEnabled());
    EXPECT_EQ(ui_.LastMessage(),
              "Could not open Send File for reading!\nMake sure Send file exists!");
    EXPECT_EQ(ui_.LastStatus(), "Transmission NOT enabled!");
}

}  // namespace
}  // namespace qorval::analyser::testing
