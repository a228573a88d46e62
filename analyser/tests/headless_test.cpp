// The command-line front end against the fake library, and its capture file.
#include "analyser/headless.h"

#include <gtest/gtest.h>
#include <sys/stat.h>

#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <sstream>

#include "analyser/pcapng_writer.h"
#include "analyser/tests/headless_fixture.h"
#include "platform/testing/fifo_watchdog.h"

namespace qorval::analyser::testing {
namespace {

TEST(HeadlessArguments, RefusesWhatItDoesNotKnow) {
    const std::pair<std::vector<std::string>, const char*> cases[] = {
        {{"--capture", "--port"}, "--port needs a value"},
        {{"--capture", "--port", "0"}, "invalid port 0"},
        {{"--capture", "--format", "octal"}, "invalid format octal"},
        {{"--capture", "--seconds", "-1"}, "invalid seconds -1"},
        {{"--capture", "--bogus"}, "unknown argument --bogus"},
        {{"--capture", "--time", "soon"}, "invalid time column soon"},
        {{"--port", "1"}, "usage: lombex32 --capture"},
    };
    for (const auto& [args, text] : cases) {
        const auto parsed = ParseHeadlessArguments(args);
        ASSERT_TRUE(std::holds_alternative<std::string>(parsed)) << text;
        EXPECT_NE(std::get<std::string>(parsed).find(text), std::string::npos) << text;
    }
    const auto parsed = ParseHeadlessArguments({"--capture", "--port", "2", "--format", "mixed",
                                                "--raw", "--send-first", "--seconds", "3", "--log",
                                                "l", "--send", "s", "--macro", "m", "--pcap", "p"});
    ASSERT_TRUE(std::holds_alternative<HeadlessOptions>(parsed));
    const auto& options = std::get<HeadlessOptions>(parsed);
    EXPECT_EQ(options.port, 2);
    EXPECT_EQ(options.format, 2);
    EXPECT_EQ(options.seconds, 3u);
    EXPECT_EQ(options.macroFile, "m");
}

TEST_F(HeadlessTest, PrintsEachFrameAsTheCaptureWindowShowsIt) {
    Queue("AB");
    Queue("CD", QORVAL_CRC_ERROR);
    EXPECT_EQ(Run({"--format", "hex", "--seconds", "1"}), 0);
    EXPECT_EQ(out_.str(),
              "0001 0000 41 42 \n"
              "0002 0000 43 52 43 20 65 72 72 6F 72 20 6F 6E 20 47 65 74 \n"
              "0002 0010 44 61 74 61 21 \n");
    EXPECT_EQ(err_.str(), "");
    EXPECT_FALSE(std::filesystem::exists(dir_ / "lombex32.ini"));  // the profile is left alone
}

TEST_F(HeadlessTest, TimeColumnShowsWhenEachFrameArrived) {
    Fake().QueueFrame(kDriver, 1, Bytes("AB"), 2);
    Fake().QueueFrame(kDriver, 1, Bytes("CD"), 9);
    EXPECT_EQ(Run({"--format", "hex", "--time", "previous", "--seconds", "1"}), 0);
    const std::string out = out_.str();
    const size_t second = out.find('\n') + 1;
    EXPECT_EQ(out.substr(second), "   0.007000 0002 0000 43 44 \n");
    // The first against the start of capture, by the machine's own clock: only its place.
    EXPECT_TRUE(out.substr(0, second).ends_with(" 0001 0000 41 42 \n")) << out;
}

TEST_F(HeadlessTest, SendFileAndRawLog) {
    WriteFile("send.txt", "HELLO\n");
    Queue("X");
    EXPECT_EQ(Run({"--send", Path("send.txt"), "--send-first", "--log", Path("raw.log"), "--raw",
                   "--seconds", "1"}),
              0);
    EXPECT_EQ(out_.str(), "SENT 0000 HELLO\n0001 0000 X\nSENT 0000 HELLO\n");
    EXPECT_EQ(ReadFile(dir_ / "raw.log"), "HELLOXHELLO");
    EXPECT_EQ(Sent(), (std::vector<std::string>{"HELLO", "HELLO"}));
}

TEST_F(HeadlessTest, FailuresGiveANonZeroStatusWithTheMessage) {
    WriteFile("bad.mac", "GET 1\nJUMP\n");
    EXPECT_NE(Run({"--macro", Path("bad.mac"), "--send", WriteFile("s", "x\n").string()}), 0);
    EXPECT_EQ(err_.str(), "SYNTAX Error on line 2 at: JUMP - Aborting\n");

    err_.str("");
    EXPECT_NE(Run({"--port", "4"}), 0);
    EXPECT_EQ(err_.str(), "Could not open driver port!\nStatus = 0000000A\n");

    err_.str("");
    EXPECT_NE(Run({"--send", Path("missing.txt")}), 0);
    EXPECT_EQ(err_.str(), "Could not open Send File for reading!\nMake sure Send file exists!\n");

    Fake().Reset();
    err_.str("");
    EXPECT_NE(Run({}), 0);
    EXPECT_EQ(err_.str(), "No drivers detected, Exiting application!\n");

    // No driver host: the library cannot list the drivers, and the shell is told how to
    // start the host.
    err_.str("");
    Fake().FailNext("QORVAL_GetSystemInfo", QORVAL_GENERAL_ERROR);
    EXPECT_NE(Run({}), 0);
    EXPECT_EQ(err_.str(),
              "Could not retrieve driver information, Exiting application!\n\n"
              "No driver host is running. Start it with \"wyvel32 run\" and try again.\n");
}

// Every file the analyser opens where the user says, named as a FIFO: the run ends at once with
// the message for a file that cannot be opened (the profile alone is only read, and the run goes
// on with the defaults), instead of waiting in the open for a writer that never comes.
TEST_F(HeadlessTest, AFifoForAnyOfItsFilesEndsTheRunAtOnceWithItsMessage) {
    const std::string fifo = Path("fifo");
    ASSERT_EQ(::mkfifo(fifo.c_str(), 0600), 0);
    const platform::testing::FifoWatchdog watchdog(fifo);
    const struct {
        std::vector<std::string> args;
        std::string message;
    } cases[] = {
        {{"--macro", fifo}, "Could not open macro file, aborting execution!\n"},
        {{"--send", fifo}, "Could not open Send File for reading!\nMake sure Send file exists!\n"},
        {{"--log", fifo}, "lombex32: could not open the log file " + fifo + "\n"},
        {{"--pcap", fifo},
         "lombex32: could not create the capture file " + fifo + ": not a regular file\n"},
    };
    for (const auto& c : cases) {
        err_.str("");
        EXPECT_NE(Run(c.args), 0) << c.args[0];
        EXPECT_EQ(err_.str(), c.message) << c.args[0];
    }
    profile_ = fifo;
    err_.str("");
    EXPECT_EQ(Run({"--seconds", "1"}), 0);
    EXPECT_FALSE(watchdog.Fired());
    EXPECT_TRUE(std::filesystem::is_fifo(fifo));
}

// The log and the capture file are created or appended to where the user says: a link planted
// there is refused and what it points at is left as it was.
TEST_F(HeadlessTest, ALinkPlantedAsTheLogOrCaptureFileIsNotWrittenThrough) {
    const auto victim = WriteFile("victim", "keep");
    std::filesystem::create_symlink(victim, dir_ / "planted");
    EXPECT_NE(Run({"--log", Path("planted")}), 0);
    EXPECT_EQ(err_.str(), "lombex32: could not open the log file " + Path("planted") + "\n");
    err_.str("");
    EXPECT_NE(Run({"--pcap", Path("planted")}), 0);
    EXPECT_EQ(err_.str(), "lombex32: could not create the capture file " + Path("planted") +
                              ": a symbolic link, which is not followed for writing\n");
    std::string kept;
    std::getline(std::ifstream(victim), kept);
    EXPECT_EQ(kept, "keep");
}

TEST_F(HeadlessTest, TellsTheIdleRestWhichPollsFoundFrames) {
    Queue("AB");
    Queue("CD");
    std::vector<bool> idle;
    afterPoll_ = [&](bool nothing) {
        idle.push_back(nothing);
        if (idle.size() == 3) {
            Queue("EF");
        }
    };
    EXPECT_EQ(Run({"--format", "hex", "--seconds", "1"}), 0);
    ASSERT_GE(idle.size(), 5u);
    // Both waiting frames in the first step, then nothing, then the frame queued meanwhile.
    EXPECT_EQ(std::vector<bool>(idle.begin(), idle.begin() + 5),
              (std::vector<bool>{false, true, true, false, true}));
    EXPECT_EQ(std::count(idle.begin(), idle.end(), false), 2);
}

TEST_F(HeadlessTest, StopsWhenInterrupted) {
    stop_ = true;
    EXPECT_EQ(Run({}), 0);
}

// The blocks of a pcapng file: type and body.
std::vector<std::pair<uint32_t, std::string>> Blocks(const std::string& file) {
    std::vector<std::pair<uint32_t, std::string>> blocks;
    size_t at = 0;
    while (at + 12 <= file.size()) {
        uint32_t type = 0, length = 0, trailer = 0;
        std::memcpy(&type, file.data() + at, 4);
        std::memcpy(&length, file.data() + at + 4, 4);
        if (length < 12 || length % 4 != 0 || at + length > file.size()) {
            ADD_FAILURE() << "bad block length " << length;
            break;
        }
        std::memcpy(&trailer, file.data() + at + length - 4, 4);
        EXPECT_EQ(trailer, length);
        blocks.emplace_back(type, file.substr(at + 8, length - 12));
        at += length;
    }
    EXPECT_EQ(at, file.size());
    return blocks;
}

TEST_F(HeadlessTest, PcapFileHoldsEveryFrameWithDirectionAndErrorFlags) {
    WriteFile("send.txt", "OUT\n");
    Queue("IN", QORVAL_CRC_ERROR);
    const std::string pcap = Path("capture.pcapng");
    ASSERT_EQ(Run({"--send", Path("send.txt"), "--pcap", pcap, "--seconds", "1"}), 0);
    const auto blocks = Blocks(ReadFile(pcap));
    ASSERT_EQ(blocks.size(), 4u);
    EXPECT_EQ(blocks[0].first, 0x0A0D0D0Au);
    EXPECT_EQ(blocks[1].first, 1u);
    uint16_t linkType = 0;
    std::memcpy(&linkType, blocks[1].second.data(), 2);
    EXPECT_EQ(linkType, PcapngWriter::kLinkTypeSdlc);

    auto packet = [](const std::string& body) {
        uint32_t length = 0, flags = 0;
        std::memcpy(&length, body.data() + 12, 4);
        const size_t options = 20 + (length + 3) / 4 * 4;
        std::memcpy(&flags, body.data() + options + 4, 4);
        return std::make_pair(body.substr(20, length), flags);
    };
    ASSERT_EQ(blocks[2].first, 6u);
    EXPECT_EQ(packet(blocks[2].second),
              std::make_pair(std::string("IN"),
                             PcapngWriter::kFlagInbound | PcapngWriter::kFlagCrcError));
    EXPECT_NE(blocks[2].second.find("CRC error on GetData!"), std::string::npos);
    EXPECT_EQ(packet(blocks[3].second),
              std::make_pair(std::string("OUT"), PcapngWriter::kFlagOutbound));

    if (std::system("command -v tshark >/dev/null 2>&1") == 0) {
        const std::string command = "tshark -r '" + pcap + "' > '" + Path("tshark.txt") + "' 2>&1";
        EXPECT_EQ(std::system(command.c_str()), 0) << ReadFile(dir_ / "tshark.txt");
    }
}

}  // namespace
}  // namespace qorval::analyser::testing
