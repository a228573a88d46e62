// The analyser from the shell (lombex32 --capture) on the far port of a sender: what it logs
// must be exactly what the sender's card put on the line.
#include <gtest/gtest.h>
#include <signal.h>

#include "tests/journeys/support/files.h"
#include "tests/journeys/support/host_process.h"
#include "tests/journeys/support/kessup_summary.h"
#include "tests/journeys/support/programs.h"

namespace qorval::journeys {
namespace {

constexpr size_t kPatternFrame = 511;

size_t Count(const std::string& text, const std::string& what) {
    size_t n = 0;
    for (size_t at = text.find(what); at != std::string::npos; at = text.find(what, at + 1)) {
        ++n;
    }
    return n;
}

// lombex32 capturing port 2 into a raw log. It makes the log once it holds the port, and
// frames that arrive from then on wait in the port's buffers until capture takes them: once
// the file exists, nothing sent is missed.
std::unique_ptr<ChildProcess> StartCapture(DriverHostProcess& host,
                                           const std::filesystem::path& raw_log) {
    auto capture = host.StartTool(
        kLombex32, {"--capture", "--port", "2", "--log", raw_log.string(), "--raw"}, "capture");
    EXPECT_TRUE(WaitUntil([&] { return std::filesystem::exists(raw_log) || !capture->Running(); }));
    EXPECT_TRUE(capture->Running()) << capture->Describe();
    return capture;
}

TEST(AnalyserJourney, CapturesEveryFrameOfATesterByteForByte) {
    DriverHostProcess host({"--ports", "2", "--wire", "pair", "--rate", "line"});
    ASSERT_TRUE(host.Running()) << host.Describe();
    const auto raw_log = host.Folder("capture") / "tester.raw";
    auto capture = StartCapture(host, raw_log);

    auto tester = host.StartTool(kKessup, {"--port", "1", "--seconds", "1"}, "tester");
    ASSERT_EQ(tester->Wait(), 0) << tester->Describe();
    const auto sent = SummaryValue(tester->Output(), "tx_frames");
    ASSERT_TRUE(sent && *sent > 0) << tester->Describe();

    const size_t expected = *sent * kPatternFrame;
    EXPECT_TRUE(WaitUntil([&] { return ReadWholeFile(raw_log).size() >= expected; }))
        << ReadWholeFile(raw_log).size() << " of " << expected << " bytes captured";
    capture->Signal(SIGINT);
    EXPECT_EQ(capture->Wait(), 0) << capture->Describe();

    // Every frame the tester sends carries the same 511 pattern bytes.
    const std::string log = ReadWholeFile(raw_log);
    ASSERT_EQ(log.size(), expected);
    const std::string first = log.substr(0, kPatternFrame);
    EXPECT_EQ(first.substr(0, 4), std::string("\x21\x86\x9C\x6A"));
    for (size_t at = 0; at < log.size(); at += kPatternFrame) {
        ASSERT_EQ(log.compare(at, kPatternFrame, first), 0) << "frame " << at / kPatternFrame;
    }
}

TEST(AnalyserJourney, AMacroBlockThatWaitsForABufferIsSentLoggedAndCapturedOnce) {
    DriverHostProcess host({"--ports", "2", "--wire", "pair", "--rate", "line"});
    ASSERT_TRUE(host.Running()) << host.Describe();
    // Two transmit buffers: at the default rate most SEND steps find none free and wait.
    // Buffer counts take effect when the port's device starts.
    ASSERT_TRUE(host.SetPortValue(1, "TxBuffers", 2));
    host.Kill();
    ASSERT_TRUE(host.Start()) << host.Describe();

    constexpr int kBlocks = 12;
    std::string send_file;
    std::string blocks;
    for (int i = 0; i < kBlocks; ++i) {
        const std::string block(300, static_cast<char>('A' + i));
        send_file += block + "\n";
        blocks += block;
    }
    const auto folder = host.Folder("sender");
    ASSERT_TRUE(WriteWholeFile(folder / "blocks.txt", send_file));
    ASSERT_TRUE(
        WriteWholeFile(folder / "macro.txt", "SEND " + std::to_string(kBlocks) + "\nSTOP\n"));

    const auto raw_log = host.Folder("capture") / "blocks.raw";
    auto capture = StartCapture(host, raw_log);
    const auto sender_log = folder / "sender.log";
    auto sender = host.StartTool(
        kLombex32,
        {"--capture", "--port", "1", "--format", "hex", "--log", sender_log.string(), "--macro",
         (folder / "macro.txt").string(), "--send", (folder / "blocks.txt").string()},
        "sender");
    EXPECT_TRUE(sender->WaitForErrorOutput("Macro execution halted via STOP command!"))
        << sender->Describe();
    EXPECT_TRUE(WaitUntil([&] { return ReadWholeFile(raw_log).size() >= blocks.size(); }))
        << ReadWholeFile(raw_log).size() << " of " << blocks.size() << " bytes captured";
    sender->Signal(SIGINT);
    capture->Signal(SIGINT);
    EXPECT_EQ(sender->Wait(), 0) << sender->Describe();
    EXPECT_EQ(capture->Wait(), 0) << capture->Describe();

    EXPECT_TRUE(ReadWholeFile(raw_log) == blocks) << "the captured bytes differ from the blocks";
    // Each block's first display line, once: "SENT 0000 " and the block's first byte in hex.
    const std::string sent_log = ReadWholeFile(sender_log);
    EXPECT_EQ(Count(sent_log, "SENT 0000 "), size_t{kBlocks});
    for (int i = 0; i < kBlocks; ++i) {
        char line[16];
        std::snprintf(line, sizeof line, "SENT 0000 %02X ", 'A' + i);
        EXPECT_EQ(Count(sent_log, line), 1u) << "block " << i;
    }
}

}  // namespace
}  // namespace qorval::journeys
