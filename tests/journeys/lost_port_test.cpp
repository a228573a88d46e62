// Each tool run from the shell while its port goes away under it: the driver host killed in
// the middle of a test, a transfer or a capture, or the port removed under the terminal. The
// tool says why, exits with 3 within two seconds of the loss, and does its work again once a
// host (or the port) is back. Before, the tester and the analyser went on polling the dead
// handle for ever and a transfer ran out its timeouts one by one.
#include <gtest/gtest.h>
#include <signal.h>

#include <algorithm>
#include <chrono>
#include <filesystem>
#include <fstream>
#include <random>
#include <string>
#include <vector>

#include "tests/journeys/support/host_process.h"
#include "tests/journeys/support/programs.h"

namespace qorval::journeys {
namespace {

// How soon a tool must have said so and ended: the requirement itself, not a timeout.
constexpr std::chrono::milliseconds kReportBound{2000};
constexpr int kExitPortLost = 3;
constexpr char kHostGone[] = "The connection to the driver host was lost: port ";
constexpr char kHowToStart[] = "\"wyvel32 run\"";
// The first line of the first frame the tester sends, as the analyser shows it in ASCII.
constexpr char kFirstPatternLine[] = "0001 0000 !<HIGH><HIGH>j";

std::vector<std::string> PairAtTheCardsRate() {
    return {"--ports", "2", "--wire", "pair", "--rate", "line"};
}

std::vector<uint8_t> RandomBytes(size_t size, uint32_t seed) {
    std::mt19937 random(seed);
    std::vector<uint8_t> bytes(size);
    for (uint8_t& b : bytes) {
        b = static_cast<uint8_t>(random());
    }
    return bytes;
}

void WriteFile(const std::filesystem::path& path, const std::vector<uint8_t>& bytes) {
    std::ofstream(path, std::ios::binary)
        .write(reinterpret_cast<const char*>(bytes.data()),
               static_cast<std::streamsize>(bytes.size()));
}

bool Holds(const std::string& text, const std::string& part) {
    return text.find(part) != std::string::npos;
}

using Clock = std::chrono::steady_clock;

// The tool ended with 3 no later than kReportBound after `lost`, and what it wrote (standard
// output, or error with `on_error_output`) says `why` and how to start the host.
void ExpectEndedSaying(ChildProcess& tool, Clock::time_point lost, const std::string& why,
                       bool on_error_output) {
    const auto left =
        std::chrono::duration_cast<std::chrono::milliseconds>(lost + kReportBound - Clock::now());
    EXPECT_EQ(tool.Wait(std::max(left, std::chrono::milliseconds(0))), kExitPortLost)
        << tool.Describe();
    const std::string said = on_error_output ? tool.ErrorOutput() : tool.Output();
    EXPECT_TRUE(Holds(said, why)) << tool.Describe();
    EXPECT_TRUE(Holds(said, kHowToStart)) << tool.Describe();
}

Clock::time_point Kill(DriverHostProcess& host) {
    host.Kill();
    return Clock::now();
}

TEST(LostPort, TesterAndRepeaterSaySoWhenTheHostIsKilledAndTestAgainAfterARestart) {
    DriverHostProcess host(PairAtTheCardsRate());
    ASSERT_TRUE(host.Running()) << host.Describe();
    auto repeater = host.StartTool(kKessup, {"--port", "2", "--repeat"}, "repeater");
    auto tester = host.StartTool(kKessup, {"--port", "1"}, "tester");
    ASSERT_TRUE(tester->WaitForOutput("In Sync")) << tester->Describe();

    const auto lost = Kill(host);
    ExpectEndedSaying(*tester, lost, std::string(kHostGone) + "1", false);
    ExpectEndedSaying(*repeater, lost, std::string(kHostGone) + "2", false);
    // The dead handle's failures are not counted as errors of the line.
    EXPECT_TRUE(Holds(tester->Output(), " other_errors=0 ")) << tester->Describe();

    ASSERT_TRUE(host.Start()) << host.Describe();
    auto repeaterAgain = host.StartTool(kKessup, {"--port", "2", "--repeat"}, "repeater-again");
    auto testerAgain = host.StartTool(kKessup, {"--port", "1", "--seconds", "3"}, "tester-again");
    EXPECT_EQ(testerAgain->Wait(), 0) << testerAgain->Describe();
    EXPECT_TRUE(Holds(testerAgain->Output(), "status=In Sync")) << testerAgain->Describe();
    repeaterAgain->Signal(SIGINT);
    EXPECT_EQ(repeaterAgain->Wait(), 0) << repeaterAgain->Describe();
}

TEST(LostPort, ATransferEndsWithTheReasonWhenTheHostIsKilledAndRunsAgainAfterARestart) {
    DriverHostProcess host(PairAtTheCardsRate());
    ASSERT_TRUE(host.Running()) << host.Describe();
    const auto big = host.Folder("files") / "big.bin";
    WriteFile(big, RandomBytes(200'000, 1));  // about ten seconds at the card's rate
    const auto downloads = host.Folder("downloads");
    auto receiver = host.StartTool(
        kVintor, {"--port", "2", "--receive", "--protocol", "ymodem", "--dir", downloads},
        "receiver");
    auto sender =
        host.StartTool(kVintor, {"--port", "1", "--send", big, "--protocol", "ymodem"}, "sender");
    ASSERT_TRUE(sender->WaitForErrorOutput("bytes sent")) << sender->Describe();

    const auto lost = Kill(host);
    ExpectEndedSaying(*sender, lost, std::string(kHostGone) + "1", true);
    ExpectEndedSaying(*receiver, lost, std::string(kHostGone) + "2", true);
    EXPECT_FALSE(Holds(sender->ErrorOutput(), "Timed out")) << "said once, with its cause";

    ASSERT_TRUE(host.Start()) << host.Describe();
    const auto small = host.Folder("files") / "small.bin";
    const std::vector<uint8_t> bytes = RandomBytes(3000, 2);
    WriteFile(small, bytes);
    const auto again = host.Folder("again");
    auto receiverAgain = host.StartTool(
        kVintor, {"--port", "2", "--receive", "--protocol", "ymodem", "--dir", again},
        "receiver-again");
    auto senderAgain = host.StartTool(
        kVintor, {"--port", "1", "--send", small, "--protocol", "ymodem"}, "sender-again");
    EXPECT_EQ(senderAgain->Wait(), 0) << senderAgain->Describe();
    EXPECT_EQ(receiverAgain->Wait(), 0) << receiverAgain->Describe();
    std::ifstream in(again / "small.bin", std::ios::binary);
    const std::vector<uint8_t> received((std::istreambuf_iterator<char>(in)),
                                        std::istreambuf_iterator<char>());
    EXPECT_EQ(received, bytes);
}

TEST(LostPort, TheTerminalSaysSoWhenItsPortIsRemovedAndTalksAgainOnceItIsBack) {
    DriverHostProcess host(PairAtTheCardsRate());
    ASSERT_TRUE(host.Running()) << host.Describe();
    auto near = host.StartTool(kVintor, {"--port", "1"}, "near");
    auto far = host.StartTool(kVintor, {"--port", "2"}, "far");
    // Both terminals run once a line typed at the far end shows at the near one.
    ASSERT_TRUE(WaitUntil([&] {
        far->WriteInput("hello\r");
        return near->WaitForOutput("hello", std::chrono::milliseconds(500));
    })) << near->Describe();

    ASSERT_EQ(host.Control({"surprise-remove", "1"}), 0);
    ExpectEndedSaying(*near, Clock::now(), "Port 1 was removed", true);
    EXPECT_TRUE(far->Running()) << "its port is still there";

    // The port comes back (removed, then added again as port 1) and is wired to port 2 again.
    ASSERT_EQ(host.Control({"remove", "1"}), 0);
    ASSERT_EQ(host.Control({"add"}), 0);
    ASSERT_EQ(host.Control({"wire", "pair", "1", "2"}), 0);
    auto nearAgain = host.StartTool(kVintor, {"--port", "1"}, "near-again");
    ASSERT_TRUE(WaitUntil([&] {
        far->WriteInput("again\r");
        return nearAgain->WaitForOutput("again", std::chrono::milliseconds(500));
    })) << nearAgain->Describe();
    nearAgain->WriteInput("\x1d");  // Ctrl-] leaves the terminal
    far->WriteInput("\x1d");
    EXPECT_EQ(nearAgain->Wait(), 0) << nearAgain->Describe();
    EXPECT_EQ(far->Wait(), 0) << far->Describe();
}

TEST(LostPort, ACaptureSaysSoWhenTheHostIsKilledAndCapturesAgainAfterARestart) {
    DriverHostProcess host(PairAtTheCardsRate());
    ASSERT_TRUE(host.Running()) << host.Describe();
    auto capture =
        host.StartTool(kLombex32, {"--capture", "--port", "2", "--format", "ascii"}, "capture");
    auto sender = host.StartTool(kKessup, {"--port", "1"}, "sender");
    ASSERT_TRUE(capture->WaitForOutput(kFirstPatternLine)) << capture->Describe();

    const auto lost = Kill(host);
    ExpectEndedSaying(*capture, lost, std::string(kHostGone) + "2", true);
    ExpectEndedSaying(*sender, lost, std::string(kHostGone) + "1", false);
    EXPECT_FALSE(Holds(capture->Output(), "GetData!")) << "no frame stands for the loss";

    ASSERT_TRUE(host.Start()) << host.Describe();
    auto captureAgain = host.StartTool(
        kLombex32, {"--capture", "--port", "2", "--format", "ascii", "--seconds", "3"},
        "capture-again");
    auto senderAgain = host.StartTool(kKessup, {"--port", "1", "--seconds", "4"}, "sender-again");
    EXPECT_EQ(captureAgain->Wait(), 0) << captureAgain->Describe();
    EXPECT_TRUE(Holds(captureAgain->Output(), kFirstPatternLine)) << captureAgain->Describe();
    EXPECT_EQ(senderAgain->Wait(), 0) << senderAgain->Describe();
}

}  // namespace
}  // namespace qorval::journeys
