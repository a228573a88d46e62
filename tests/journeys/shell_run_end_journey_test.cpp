// Every tool run from the shell must end when it should, whatever it was given or waits on: a
// FIFO named for any of its files ends the run within seconds with the tool's message for a
// file it cannot open (opening a FIFO would wait for a writer that never comes), and SIGTERM
// ends a run that would go on for minutes, leaving its port free for the next program.
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/stat.h>

#include <functional>

#include "tests/journeys/support/files.h"
#include "tests/journeys/support/host_process.h"
#include "tests/journeys/support/programs.h"

namespace qorval::journeys {
namespace {

// A run given a FIFO ends well within this, a run told to stop likewise.
constexpr std::chrono::seconds kPromptly{5};

bool Contains(const std::string& text, const std::string& part) {
    return text.find(part) != std::string::npos;
}

class ShellRunEnd : public ::testing::Test {
  protected:
    void SetUp() override { ASSERT_TRUE(host_.Running()) << host_.Describe(); }

    // A FIFO named `name` in the tool folder `folder` (made when missing).
    std::filesystem::path Fifo(const std::string& folder, const std::string& name) {
        const auto path = host_.Folder(folder) / name;
        EXPECT_EQ(::mkfifo(path.c_str(), 0600), 0) << path;
        return path;
    }

    DriverHostProcess host_{{"--ports", "2", "--wire", "pair", "--rate", "line"}};
};

TEST_F(ShellRunEnd, TheAnalyserGivenAFifoForAnyFileEndsWithItsMessage) {
    const auto fifo = Fifo("analyser", "fifo").string();
    const struct {
        const char* option;
        std::string message;
    } cases[] = {
        {"--macro", "Could not open macro file, aborting execution!\n"},
        {"--send", "Could not open Send File for reading!\nMake sure Send file exists!\n"},
        {"--log", "lombex32: could not open the log file " + fifo + "\n"},
        {"--pcap", "lombex32: could not create the capture file " + fifo + ": not a regular file\n"},
    };
    for (const auto& c : cases) {
        auto run = host_.StartTool(
            kLombex32, {"--capture", "--port", "1", "--seconds", "600", c.option, fifo}, "analyser");
        EXPECT_EQ(run->Wait(kPromptly), 1) << run->Describe();
        EXPECT_EQ(run->ErrorOutput(), c.message) << run->Describe();
    }

    // Its profile is only read: a FIFO there is left alone and the run goes on with defaults.
    const auto windows = host_.Prefix() / "drive_c" / "windows";
    std::filesystem::create_directories(windows);
    ASSERT_EQ(::mkfifo((windows / "lombex32.ini").c_str(), 0600), 0);
    auto run = host_.StartTool(kLombex32, {"--capture", "--port", "1", "--seconds", "1"},
                               "analyser");
    EXPECT_EQ(run->Wait(kPromptly + std::chrono::seconds(1)), 0) << run->Describe();
    EXPECT_TRUE(std::filesystem::is_fifo(windows / "lombex32.ini"));
}

TEST_F(ShellRunEnd, TheTesterWhoseDiskLoadFileIsAFifoRunsItsTimeAndSaysWhy) {
    Fifo("tester", "testfile.dat");
    auto run = host_.StartTool(kKessup, {"--port", "1", "--seconds", "1", "--disk"}, "tester");
    EXPECT_EQ(run->Wait(kPromptly + std::chrono::seconds(1)), 0) << run->Describe();
    EXPECT_TRUE(Contains(run->Output(),
                         "kessup: no disk load: ./testfile.dat: not a regular file\n"))
        << run->Describe();
    EXPECT_TRUE(Contains(run->Output(), "tx_frames=")) << run->Describe();
}

TEST_F(ShellRunEnd, TheTerminalSendingOrReceivingIntoAFifoEndsWithItsMessage) {
    const auto fifo = Fifo("sender", "far.bin");
    auto sending = host_.StartTool(
        kVintor, {"--port", "1", "--send", fifo.string(), "--protocol", "xmodem"}, "sender");
    EXPECT_EQ(sending->Wait(kPromptly), 1) << sending->Describe();
    EXPECT_TRUE(Contains(sending->ErrorOutput() + sending->Output(), "Unable to open file."))
        << sending->Describe();

    // The YMODEM name the far end sends is that of a FIFO in the receiver's folder: the
    // receiver cancels, and the sender hears it and ends too.
    Fifo("receiver", "far.bin");
    const auto file = host_.Folder("source") / "far.bin";
    ASSERT_TRUE(WriteWholeFile(file, RandomBytes(300, 24)));
    auto receiving = host_.StartTool(
        kVintor, {"--port", "2", "--receive", "--protocol", "ymodem", "--dir", "."}, "receiver");
    ASSERT_TRUE(receiving->WaitForErrorOutput("Transferring File")) << receiving->Describe();
    sending = host_.StartTool(
        kVintor, {"--port", "1", "--send", file.string(), "--protocol", "ymodem"}, "source");
    EXPECT_EQ(receiving->Wait(kPromptly), 1) << receiving->Describe();
    EXPECT_TRUE(Contains(receiving->ErrorOutput() + receiving->Output(), "Unable to open file."))
        << receiving->Describe();
    EXPECT_EQ(sending->Wait(kPromptly), 1) << sending->Describe();
    EXPECT_TRUE(std::filesystem::is_fifo(host_.Folder("receiver") / "far.bin"));
}

// Each tool holds port 1 for a long run (ten minutes; the receiver waits half a minute for a
// sender); SIGTERM ends it at once with the status an interrupted run has, and the next tool
// finds the port free.
TEST_F(ShellRunEnd, SigtermEndsEachToolsLongRunAndFreesItsPort) {
    const auto log = host_.Folder("analyser") / "capture.log";
    const struct {
        const char* program;
        std::vector<std::string> args;
        std::function<bool(ChildProcess&)> holds_port;
        int status;
    } runs[] = {
        {kLombex32,
         {"--capture", "--port", "1", "--seconds", "600", "--log", log.string()},
         [&](ChildProcess& run) {
             return WaitUntil([&] { return std::filesystem::exists(log) || !run.Running(); }) &&
                    run.Running();
         },
         0},
        {kKessup,
         {"--port", "1", "--seconds", "600"},
         [](ChildProcess& run) { return run.WaitForOutput("Tx Frames"); },
         0},
        {kVintor,
         {"--port", "1", "--receive", "--protocol", "ymodem", "--dir", "."},
         [](ChildProcess& run) { return run.WaitForErrorOutput("Transferring File"); },
         1},
    };
    for (const auto& r : runs) {
        auto run = host_.StartTool(r.program, r.args, "long-run");
        ASSERT_TRUE(r.holds_port(*run)) << run->Describe();
        run->Signal(SIGTERM);
        EXPECT_EQ(run->Wait(kPromptly), r.status) << run->Describe();
    }
}

}  // namespace
}  // namespace qorval::journeys
