// The terminal's window logic without the window: port opening, polling, typing, the log,
// text files, the modem lines and the frame around binary transfers.

#include <gtest/gtest.h>
#include <sys/stat.h>

#include <filesystem>
#include <string>
#include <vector>

#include "platform/testing/fifo_watchdog.h"
#include "portaccess/fake/fake_library.h"
#include "terminal/terminal_session.h"
#include "terminal/tests/support/recording_ui.h"
#include "terminal/tests/support/temp_dir.h"

namespace qorval::terminal::testing {
namespace {

constexpr uint16_t kDriver = QORVAL_DRIVER_WYVEL32;

class SessionTest : public ::testing::Test {
  protected:
    void SetUp() override {
        fake::FakeLibrary::Instance().Reset();
        fake::FakeLibrary::Instance().SetAutoAdvanceMs(1);
    }
    void AddPort(uint16_t max_tx) {
        fake::FakeLibrary::Instance().AddPort(
            {.driver_type = kDriver, .port = 1, .max_tx_frame = max_tx});
    }
    void OpenPort(uint16_t max_tx = 64) {
        AddPort(max_tx);
        session.PortOpenCommand();
        ASSERT_TRUE(session.Port().IsOpen());
    }
    std::vector<std::vector<uint8_t>> Sent() {
        std::vector<std::vector<uint8_t>> out;
        for (auto& f : fake::FakeLibrary::Instance().TakeSentFrames(kDriver, 1)) {
            out.push_back(std::move(f.bytes));
        }
        return out;
    }

    TempDir dir;
    RecordingMessages messages;
    RecordingProgress progress;
    RecordingWindow window;
    StringTextArea text;
    std::function<void()> on_dispatch;
    TerminalSession session{messages, progress, window, text, [this] {
                                if (on_dispatch) {
                                    on_dispatch();
                                }
                            }};
};

TEST_F(SessionTest, OpeningAndClosingThePort) {
    AddPort(512);
    session.PortOpenCommand();
    EXPECT_TRUE(session.Port().IsOpen());
    EXPECT_EQ(session.LargestTransmitFrame(), 512);
    session.PortOpenCommand();  // the item reads "Port Close" now
    EXPECT_FALSE(session.Port().IsOpen());

    session.Port().SelectPort(kDriver, 9);
    EXPECT_FALSE(session.OpenSelectedPort());
    EXPECT_EQ(messages.CaptionTexts(),
              std::vector<std::string>{"Vintor|Unable to open Quint port"});

    session.Port().SelectPort(kDriver, 1);
    fake::FakeLibrary::Instance().FailNext("QORVAL_GetPortState", QORVAL_GENERAL_ERROR);
    EXPECT_TRUE(session.OpenSelectedPort());
    EXPECT_EQ(messages.statuses.back(), "Unable to get Quint port info: 14");
    EXPECT_TRUE(session.Port().IsOpen());  // the port stays open
}

TEST_F(SessionTest, PollingShowsLogsAndReadsTheModemLines) {
    OpenPort();
    const std::string log = dir.File("session.log");
    ASSERT_TRUE(session.OpenLog(log));
    EXPECT_EQ(window.title, "Vintor - " + log);
    auto& fake = fake::FakeLibrary::Instance();
    fake.SetModemInputs(kDriver, 1, QORVAL_MODEM_CTS | QORVAL_MODEM_DCD);
    fake.QueueFrame(kDriver, 1, {'l', 'o', 'g', 'i', 'n', ':', '\r', '\n'});
    fake.QueueFrame(kDriver, 1, {'x', 0x08, 'y'});
    session.PollTick();
    EXPECT_EQ(text.Text(), "login:\r\ny");
    ASSERT_FALSE(window.modem_words.empty());
    EXPECT_EQ(window.modem_words.back(), QORVAL_MODEM_CTS | QORVAL_MODEM_DCD);
    session.CloseLog();
    EXPECT_EQ(window.title, "Vintor");
    const auto logged = ReadBytes(log);
    EXPECT_EQ(std::string(logged.begin(), logged.end()), "login:\r\ny");
}

TEST_F(SessionTest, LostFramesAreCountedShownAndMarkedInALogWrittenOutEveryTick) {
    OpenPort();
    const std::string log = dir.File("losses.log");
    ASSERT_TRUE(session.OpenLog(log));
    auto& fake = fake::FakeLibrary::Instance();
    fake.QueueFrame(kDriver, 1, {'a', 'b'});
    fake.QueueFrame(kDriver, 1, {'?', '?'}, 0, QORVAL_OVERRUN);
    fake.QueueFrame(kDriver, 1, {'c', 'd'});
    fake.QueueFrame(kDriver, 1, {'!'}, 0, QORVAL_CRC_ERROR);
    fake.QueueFrame(kDriver, 1, {'e'});
    session.PollTick();
    EXPECT_EQ(text.Text(), "abcde");  // the text goes on after a loss
    ASSERT_FALSE(messages.statuses.empty());
    EXPECT_EQ(messages.statuses.back(), "Receive errors: 1  Overruns: 1");
    // On disk while the log is still open, each loss marked where it happened.
    const auto logged = ReadBytes(log);
    EXPECT_EQ(std::string(logged.begin(), logged.end()),
              "ab\r\n[Frame lost: overrun]\r\ncd\r\n[Frame lost: CRC error]\r\ne");

    // A result that is no loss on the line (the port failing) is not counted as one.
    const size_t shown = messages.statuses.size();
    fake.QueueFrame(kDriver, 1, {'x'}, 0, QORVAL_GENERAL_ERROR);
    session.PollTick();
    EXPECT_EQ(messages.statuses.size(), shown);
    // Opening the port again starts the counts afresh.
    session.PortOpenCommand();
    session.PortOpenCommand();
    fake.QueueFrame(kDriver, 1, {'y'}, 0, QORVAL_LINE_ERROR);
    session.PollTick();
    EXPECT_EQ(messages.statuses.back(), "Receive errors: 1  Overruns: 0");
}

TEST_F(SessionTest, OneTickTakesAtMostItsBudgetAndTheNextTheRest) {
    OpenPort();
    auto& fake = fake::FakeLibrary::Instance();
    for (char c : std::string("abcdef")) {
        fake.QueueFrame(kDriver, 1, {uint8_t(c), uint8_t(c)});
    }
    session.PollTick(3);  // whole frames: stops once 3 bytes or more were taken
    EXPECT_EQ(text.Text(), "aabb");
    EXPECT_EQ(window.modem_words.size(), 1u);  // the modem lines are still read every tick
    session.PollTick(3);
    EXPECT_EQ(text.Text(), "aabbccdd");
    session.PollTick();
    EXPECT_EQ(text.Text(), "aabbccddeeff");
}

TEST_F(SessionTest, APortClosedWhileATickDispatchesEndsTheTick) {
    OpenPort();
    auto& fake = fake::FakeLibrary::Instance();
    fake.QueueFrame(kDriver, 1, {'a'});
    fake.QueueFrame(kDriver, 1, {'b'});
    on_dispatch = [this] { session.PortOpenCommand(); };  // "Port Close" from the menu
    session.PollTick();
    EXPECT_EQ(text.Text(), "a");
    EXPECT_FALSE(session.Port().IsOpen());
    EXPECT_TRUE(window.modem_words.empty());
}

// A port that has gone (here the host killed; the port removed takes the same road) is closed
// by the tick that finds it: the modem buttons stop showing the lines, the user is told once
// why and what to do, and the port opens again when the host is back.
TEST_F(SessionTest, APortThatGoesIsClosedAndSaidOnceAndOpensAgainLater) {
    OpenPort();
    auto& fake = fake::FakeLibrary::Instance();
    fake.SetModemInputs(kDriver, 1, QORVAL_MODEM_CTS | QORVAL_MODEM_DSR);
    session.PollTick();
    ASSERT_EQ(window.modem_words.back(), QORVAL_MODEM_CTS | QORVAL_MODEM_DSR);
    fake.KillHost();
    session.PollTick();
    EXPECT_FALSE(session.Port().IsOpen());
    EXPECT_TRUE(session.PortLost());
    EXPECT_EQ(window.modem_words.back(), 0);
    ASSERT_EQ(messages.shown.size(), 1u);
    EXPECT_EQ(messages.shown[0].caption, "Vintor");
    EXPECT_NE(messages.shown[0].text.find("\"wyvel32 run\""), std::string::npos);
    session.PollTick();
    session.TypeChar('x');
    EXPECT_EQ(messages.shown.size(), 1u) << "said once";

    fake.RestartHost();
    session.PortOpenCommand();
    EXPECT_TRUE(session.Port().IsOpen());
    EXPECT_FALSE(session.PortLost());
}

TEST_F(SessionTest, NoDriverHostIsSaidWithHowToStartIt) {
    EXPECT_TRUE(session.CheckDriverHost());
    EXPECT_TRUE(messages.shown.empty());
    fake::FakeLibrary::Instance().FailNext("QORVAL_GetSystemInfo", QORVAL_GENERAL_ERROR);
    EXPECT_FALSE(session.CheckDriverHost());
    ASSERT_EQ(messages.shown.size(), 1u);
    EXPECT_NE(messages.shown[0].text.find("wyvel32 run"), std::string::npos);
    EXPECT_EQ(messages.shown[0].caption, "Vintor");
}

TEST_F(SessionTest, CommandsAskForTheirFilesWithTheirFilters) {
    OpenPort();
    // Cancelled dialogs end the commands with the window enabled and nothing sent.
    session.OpenLogCommand();
    session.TransmitTextFileCommand();
    session.TransmitBinFileCommand();  // the recording window cancels the protocol choice
    ASSERT_EQ(messages.fileChoices.size(), 2u);
    EXPECT_EQ(messages.fileChoices[0].filter, "Log Files (*.log) | *.log | All Files (*.*) | *.* ||");
    EXPECT_EQ(messages.fileChoices[0].defaultExtension, "log");
    EXPECT_FALSE(messages.fileChoices[0].mustExist);  // a new log may be named
    EXPECT_EQ(messages.fileChoices[1].filter,
              "Text Files (*.txt) | *.txt | All Files (*.*) | *.* ||");
    EXPECT_TRUE(messages.fileChoices[1].mustExist);
    EXPECT_TRUE(window.enabled);
    EXPECT_FALSE(session.Logging());
    EXPECT_TRUE(Sent().empty());

    window.protocol = Protocol::Xmodem;
    session.SetDownloadDirectory(dir.File("in"));
    session.ReceiveBinFileCommand();  // the XMODEM target's dialog proposes temp.dat
    ASSERT_EQ(messages.fileChoices.size(), 3u);
    EXPECT_EQ(messages.fileChoices[2].filter, "All Files (*.*) | *.* ||");
    EXPECT_EQ(messages.fileChoices[2].initialPath, dir.File("in") + "/temp.dat");
    EXPECT_TRUE(window.enabled);
}

TEST_F(SessionTest, LogThatCannotBeCreated) {
    EXPECT_FALSE(session.OpenLog(dir.File("missing/dir/x.log")));
    EXPECT_EQ(messages.CaptionTexts(), std::vector<std::string>{"Vintor|Failed to open file!"});
    EXPECT_EQ(session.Title(), "Vintor");
}

TEST_F(SessionTest, TypedCharactersGoOutOneFrameEachAndEchoOnlyWhenAsked) {
    OpenPort();
    session.TypeChar('a');
    EXPECT_EQ(text.Text(), "");
    session.SetEcho(true);
    session.TypeChar('b');
    session.TypeChar('\r');
    EXPECT_EQ(text.Text(), "b\r\n");
    EXPECT_EQ(Sent(), (std::vector<std::vector<uint8_t>>{{'a'}, {'b'}, {'\r'}}));
}

TEST_F(SessionTest, ModemButtonsDriveTheOppositeOfWhatTheyShow) {
    OpenPort();
    session.DtrButton(false);
    session.RtsButton(false);
    EXPECT_EQ(session.Port().GetDTR(), 1);
    EXPECT_EQ(session.Port().GetRTS(), 1);
    session.DtrButton(true);
    EXPECT_EQ(session.Port().GetDTR(), 0);
    EXPECT_EQ(session.Port().GetRTS(), 1);
}

TEST_F(SessionTest, TextFilesGoInChunksOfTheLargestTransmitFrame) {
    OpenPort(64);
    for (const size_t size : {size_t{0}, size_t{128}, size_t{64 * 3 + 5}}) {
        SCOPED_TRACE(size);
        const auto data = Pattern(size);
        WriteBytes(dir.File("t.txt"), data);
        EXPECT_EQ(session.TransmitTextFile(dir.File("t.txt")), TransferOutcome::Succeeded);
        const auto frames = Sent();
        EXPECT_EQ(frames.size(), (size + 63) / 64);
        std::vector<uint8_t> joined;
        for (const auto& f : frames) {
            EXPECT_LE(f.size(), 64u);
            joined.insert(joined.end(), f.begin(), f.end());
        }
        EXPECT_EQ(joined, data);
        EXPECT_FALSE(progress.open);
        EXPECT_TRUE(window.enabled);
    }
    EXPECT_TRUE(messages.CaptionTexts().empty());
}

TEST_F(SessionTest, TextFileFailures) {
    OpenPort(64);
    WriteBytes(dir.File("t.txt"), Pattern(300));
    fake::FakeLibrary::Instance().FailNext("QORVAL_PutData", QORVAL_GENERAL_ERROR);
    EXPECT_EQ(session.TransmitTextFile(dir.File("t.txt")), TransferOutcome::Failed);
    EXPECT_EQ(messages.CaptionTexts().back(), "Vintor|Error writing to port: 14");
    EXPECT_TRUE(Sent().empty());

    EXPECT_EQ(session.TransmitTextFile(dir.File("absent.txt")), TransferOutcome::Failed);
    EXPECT_EQ(messages.CaptionTexts().back(), "Vintor|Unable to open file.");

    // Cancel between chunks: nothing more goes out and the window is left to the button.
    int chunks = 0;
    on_dispatch = [&] {
        if (++chunks == 2) {
            session.CancelTransfer();
        }
    };
    EXPECT_EQ(session.TransmitTextFile(dir.File("t.txt")), TransferOutcome::Cancelled);
    EXPECT_EQ(Sent().size(), 2u);
    EXPECT_TRUE(window.enabled);
}

// Every file the terminal opens where the user says: a FIFO ends the command at once with its
// message, and the log, which the terminal creates, is never written through a planted link.
TEST_F(SessionTest, AFifoOrAPlantedLinkEndsTheCommandWithItsMessage) {
    OpenPort(64);
    const std::string fifo = dir.File("fifo");
    ASSERT_EQ(::mkfifo(fifo.c_str(), 0600), 0);
    const platform::testing::FifoWatchdog watchdog(fifo);
    EXPECT_EQ(session.TransmitTextFile(fifo), TransferOutcome::Failed);
    EXPECT_EQ(messages.CaptionTexts().back(), "Vintor|Unable to open file.");
    EXPECT_EQ(session.SendBinFile(Protocol::Ymodem, fifo), TransferOutcome::Failed);
    EXPECT_EQ(messages.CaptionTexts().back(), "Vintor|Unable to open file.");
    EXPECT_FALSE(session.OpenLog(fifo));
    EXPECT_EQ(messages.CaptionTexts().back(), "Vintor|Failed to open file!");
    EXPECT_EQ(messages.CaptionTexts().size(), 3u);
    EXPECT_FALSE(watchdog.Fired());
    EXPECT_TRUE(Sent().empty());

    WriteBytes(dir.File("victim"), Pattern(3));
    std::filesystem::create_symlink(dir.File("victim"), dir.File("planted.log"));
    EXPECT_FALSE(session.OpenLog(dir.File("planted.log")));
    EXPECT_EQ(messages.CaptionTexts().back(), "Vintor|Failed to open file!");
    EXPECT_EQ(ReadBytes(dir.File("victim")), Pattern(3));
    EXPECT_FALSE(session.Logging());
}

TEST_F(SessionTest, TextFileGivesUpWhenNoTransmitBufferFrees) {
    OpenPort(64);
    WriteBytes(dir.File("t.txt"), Pattern(100));
    fake::FakeLibrary::Instance().SetTxBuffersFree(kDriver, 1, 0);
    EXPECT_EQ(session.TransmitTextFile(dir.File("t.txt")), TransferOutcome::Failed);
    EXPECT_EQ(messages.CaptionTexts().back(), "Vintor|Error writing to port: 16");
    EXPECT_TRUE(window.enabled);
}

TEST_F(SessionTest, NoTextFileWithoutATransmitFrame) {
    OpenPort(0);
    WriteBytes(dir.File("t.txt"), Pattern(10));
    EXPECT_EQ(session.TransmitTextFile(dir.File("t.txt")), TransferOutcome::Failed);
    ASSERT_EQ(messages.CaptionTexts().size(), 1u);
    EXPECT_NE(messages.CaptionTexts()[0].find("largest transmit frame is 0"), std::string::npos);
    EXPECT_TRUE(Sent().empty());
    EXPECT_EQ(progress.opened, 0);
}

TEST_F(SessionTest, BinaryTransfersRestoreTheWindowAfterwards) {
    OpenPort();
    EXPECT_EQ(session.SendBinFile(Protocol::Xmodem, dir.File("absent.bin")),
              TransferOutcome::Failed);
    EXPECT_EQ(messages.CaptionTexts().back(), "Vintor|Unable to open file.");
    EXPECT_TRUE(window.enabled);
    EXPECT_TRUE(window.timer_running);
    EXPECT_FALSE(progress.open);
    EXPECT_EQ(window.focused, 0);  // a failed send leaves the focus alone

    window.timer_ok = false;
    session.CancelTransfer();
    on_dispatch = [&] { session.CancelTransfer(); };
    EXPECT_EQ(session.ReceiveBinFile(Protocol::Xmodem, dir.File("r.bin")),
              TransferOutcome::Cancelled);
    EXPECT_EQ(messages.CaptionTexts().back(), "Vintor|Unable to recreate polling timer!!");
    EXPECT_TRUE(window.enabled);
    EXPECT_EQ(window.focused, 1);  // a receive always gives the text area the focus
}

}  // namespace
}  // namespace qorval::terminal::testing
