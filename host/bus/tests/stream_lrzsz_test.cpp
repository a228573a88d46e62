// File transfers between our terminal and the lrzsz programs, the far end reached through a
// port's byte-stream wiring with socat: our engine on the port through the real port access
// library, and the vintor command line for a receive.

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "host/bus/tests/stream_child.h"
#include "host/bus/tests/stream_host.h"
#include "portaccess/qorval_port.h"
#include "portaccess/tick_count.h"
#include "terminal/locked_file.h"
#include "terminal/tests/support/recording_ui.h"
#include "terminal/xmodem_receiver.h"
#include "terminal/xmodem_sender.h"

namespace qorval::host::testing {
namespace {

using terminal::Protocol;
using terminal::TransferOutcome;

constexpr int kChildSeconds = 120;  // a generous bound, never a measurement
// Around each block size, and one large file: a few hundred KB where blocks are 1024 bytes,
// less with 128-byte blocks, whose round trips take the longest.
const std::vector<size_t> kSizes = {0, 1, 127, 128, 129, 1023, 1024, 1025, 300 * 1024};
const std::vector<size_t> kSmallBlockSizes = {0, 1, 127, 128, 129, 1023, 1024, 1025, 64 * 1024};

void WriteFile(const std::string& path, const std::vector<uint8_t>& bytes) {
    std::ofstream(path, std::ios::binary)
        .write(reinterpret_cast<const char*>(bytes.data()),
               static_cast<std::streamsize>(bytes.size()));
}

std::vector<uint8_t> ReadFile(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

std::vector<uint8_t> FileData(size_t size) {
    return Pattern(size, static_cast<uint8_t>(size * 13 + 1));
}

struct Ours {
    Qorval_Port port{kAdapterDriver, 1};
    terminal::testing::RecordingMessages messages;
    terminal::testing::RecordingProgress progress;
    terminal::CancelFlag cancel{false};
    terminal::TransferUi Ui() { return {messages, progress, cancel, {}}; }
    std::string Said() const {
        std::string out;
        for (const auto& m : messages.CaptionTexts()) {
            out += "\nmessage: " + m;
        }
        return out;
    }
};

class LrzszThroughStream : public ::testing::Test {
  protected:
    void SetUp() override {
        for (const char* program : {"socat", "sx", "sb", "rx", "rb"}) {
            if (!FindProgram(program)) {
                GTEST_SKIP() << program << " is not installed: run scripts/setup-deps to test "
                             << "against socat and the lrzsz programs";
            }
        }
        SetTickSource(nullptr);  // real milliseconds
        ASSERT_TRUE(host_.started());
        path_ = host_.WireUnix(1);
        ASSERT_FALSE(path_.empty());
        far_ = (host_.prefix() / "far").string();
        ours_ = (host_.prefix() / "ours").string();
        std::filesystem::create_directory(far_);
        std::filesystem::create_directory(ours_);
    }

    bool PeerConnected() { return host_.bus().StreamStatsOfPort(1)->peer_connected; }

    // socat joining the port's stream to `command` (run in the far folder). The previous far
    // end has gone first, so this one is never refused as a second peer.
    std::unique_ptr<Child> StartFarEnd(const std::string& command) {
        EXPECT_TRUE(Eventually([&] { return !PeerConnected(); }));
        auto child = std::make_unique<Child>(
            std::vector<std::string>{*FindProgram("socat"), "UNIX-CONNECT:" + path_,
                                     "EXEC:" + command},
            far_);
        EXPECT_TRUE(child->Started());
        return child;
    }

    // Our sender on the port to `command`, which stores the file as `stored_as` (empty: under
    // its own name); XMODEM pads to whole blocks with `pad`.
    void SendTo(Protocol protocol, size_t size, const std::string& command,
                const std::string& stored_as, std::optional<uint8_t> pad) {
        SCOPED_TRACE(command + ", " + std::to_string(size) + " bytes");
        const std::string name = "file" + std::to_string(size) + ".bin";
        const auto data = FileData(size);
        WriteFile(ours_ + "/" + name, data);
        // Our port listens before the far end starts, so its first start byte is heard.
        Ours ours;
        ASSERT_EQ(ours.port.Open(), 0u);
        const auto far = StartFarEnd(command);
        auto file = terminal::LockedFile::OpenForReading(ours_ + "/" + name);
        ASSERT_TRUE(file);
        const terminal::TransferUi ui = ours.Ui();  // the sender keeps a reference
        terminal::XmodemSender sender(ours.port, ui, protocol);
        EXPECT_EQ(sender.Run(*file, name), TransferOutcome::Succeeded)
            << far->ErrorOutput() << ours.Said();
        EXPECT_EQ(far->Wait(kChildSeconds), 0) << far->ErrorOutput();
        const std::string stored = far_ + "/" + (stored_as.empty() ? name : stored_as);
        auto got = ReadFile(stored);
        auto expected = data;
        if (pad) {
            EXPECT_EQ(got.size() % 128, 0u);
            expected.resize(std::max(got.size(), data.size()), *pad);
        }
        EXPECT_EQ(got, expected);
        std::filesystem::remove(stored);
    }

    // Our receiver on the port from `command`, once it says it listens (when it does).
    TransferOutcome ReceiveFrom(Protocol protocol, const std::string& command,
                                const std::string& target, const std::string& listening) {
        const auto far = StartFarEnd(command);
        EXPECT_TRUE(Eventually([&] { return PeerConnected(); }));
        if (!listening.empty()) {
            EXPECT_TRUE(far->WaitForErrorText(listening, kChildSeconds));
        }
        Ours ours;
        EXPECT_EQ(ours.port.Open(), 0u);
        const terminal::TransferUi ui = ours.Ui();  // the receiver keeps a reference
        terminal::XmodemReceiver receiver(ours.port, ui, protocol);
        const TransferOutcome outcome = receiver.Run(target);
        // The far end may still answer what we sent last; our port listens until it is done.
        // socat's own status is not checked: after an XMODEM receive our eight CAN bytes reach
        // it after the program ended, and it reports the broken pipe.
        far->Wait(kChildSeconds);
        EXPECT_EQ(outcome, TransferOutcome::Succeeded) << ours.Said() << far->ErrorOutput();
        return outcome;
    }

    StreamHost host_;
    std::string path_;
    std::string far_;
    std::string ours_;
};

TEST_F(LrzszThroughStream, OurXmodemSendersToRx) {
    struct Case {
        Protocol protocol;
        const char* command;
    } cases[] = {
        {Protocol::Xmodem, "rx -q -b out.bin"},     // checksum
        {Protocol::Xmodem, "rx -q -b -c out.bin"},  // CRC
        {Protocol::Xmodem1K, "rx -q -b -c out.bin"},
    };
    for (const Case& c : cases) {
        for (size_t size : c.protocol == Protocol::Xmodem ? kSmallBlockSizes : kSizes) {
            SendTo(c.protocol, size, c.command, "out.bin", 0xFF);
        }
    }
}

TEST_F(LrzszThroughStream, OurYmodemSenderToRb) {
    for (size_t size : kSizes) {
        SendTo(Protocol::Ymodem, size, "rb -q -b", "", std::nullopt);
    }
}

TEST_F(LrzszThroughStream, OurXmodemReceiversFromSx) {
    for (const bool large : {false, true}) {
        for (size_t size : large ? kSizes : kSmallBlockSizes) {
            SCOPED_TRACE(std::to_string(size) + (large ? " bytes, 1K" : " bytes"));
            const auto data = FileData(size);
            WriteFile(far_ + "/in.bin", data);
            const std::string target = ours_ + "/out.bin";
            ReceiveFrom(large ? Protocol::Xmodem1K : Protocol::Xmodem,
                        std::string("sx -q -b ") + (large ? "-k " : "") + "in.bin", target,
                        "receive command now");
            // XMODEM keeps whole blocks, padded by sx with SUB.
            auto got = ReadFile(target);
            EXPECT_EQ(got.size() % 128, 0u);
            auto expected = data;
            expected.resize(std::max(got.size(), data.size()), 0x1A);
            EXPECT_EQ(got, expected);
        }
    }
}

TEST_F(LrzszThroughStream, OurYmodemReceiverTakesABatchFromSb) {
    std::string command = "sb -q -b";
    for (size_t size : kSizes) {
        const std::string name = "batch" + std::to_string(size) + ".bin";
        WriteFile(far_ + "/" + name, FileData(size));
        command += " " + name;
    }
    ReceiveFrom(Protocol::Ymodem, command, ours_, "");
    for (size_t size : kSizes) {
        const std::string name = "batch" + std::to_string(size) + ".bin";
        EXPECT_EQ(ReadFile(ours_ + "/" + name), FileData(size)) << name;
    }
}

// A streaming sender needs the line's pace: unpaced, sb would fill the port's receive
// buffers faster than any reader empties them.
TEST_F(LrzszThroughStream, OurYmodemGReceiverStreamsFromSbOnAPacedLine) {
    ASSERT_EQ(host_.bus().SetLineRate(false), "");
    const auto data = FileData(100 * 1024 + 17);
    WriteFile(far_ + "/stream.bin", data);
    ReceiveFrom(Protocol::YmodemG, "sb -q -b stream.bin", ours_, "");
    EXPECT_EQ(ReadFile(ours_ + "/stream.bin"), data);
}

// The vintor command line itself on the port: a YMODEM receive from sb.
TEST_F(LrzszThroughStream, VintorCommandLineReceivesFromSb) {
    const auto data = FileData(5000);
    WriteFile(far_ + "/cli.bin", data);
    const auto far = StartFarEnd("sb -q -b cli.bin");
    ASSERT_TRUE(Eventually([&] { return PeerConnected(); }));
    Child vintor(
        {VINTOR_PROGRAM, "--port", "1", "--receive", "--protocol", "ymodem", "--dir", ours_},
        ours_);
    EXPECT_EQ(vintor.Wait(kChildSeconds), 0) << vintor.ErrorOutput();
    // sb's own end is not awaited: vintor closes the port right after its last ACK, and a
    // close stops the transmitter, so that ACK may never reach sb, which then waits out its
    // retries.
    EXPECT_EQ(ReadFile(ours_ + "/cli.bin"), data);
}

}  // namespace
}  // namespace qorval::host::testing
