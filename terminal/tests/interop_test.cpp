// Transfers in real time with far ends that are not the engine's own code: the lrzsz programs
// through a byte-stream bridge, and two engines on a fake pair each on its own thread.

#include <gtest/gtest.h>

#include <filesystem>
#include <string>
#include <thread>
#include <vector>

#include "portaccess/fake/fake_library.h"
#include "portaccess/qorval_port.h"
#include "portaccess/tick_count.h"
#include "terminal/locked_file.h"
#include "terminal/tests/support/lrzsz_bridge.h"
#include "terminal/tests/support/paced_line.h"
#include "terminal/tests/support/recording_ui.h"
#include "terminal/tests/support/temp_dir.h"
#include "terminal/xmodem_receiver.h"
#include "terminal/xmodem_sender.h"
#include "terminal/ymodem_header.h"

namespace qorval::terminal::testing {
namespace {

constexpr uint16_t kDriver = QORVAL_DRIVER_WYVEL32;
constexpr int kChildSeconds = 60;  // a generous bound, never a measurement

const std::vector<size_t> kSizes = {0, 1, 127, 128, 129, 1023, 1024, 1025, 300 * 1024};

using Side = TransferSide;

std::string Said(const Side& side) {
    std::string out;
    for (const auto& m : side.messages.CaptionTexts()) {
        out += "\nmessage: " + m;
    }
    for (const auto& m : side.messages.statuses) {
        out += "\nstatus: " + m;
    }
    return out;
}

class RealTimeTransfer : public ::testing::Test {
  protected:
    void SetUp() override {
        auto& fake = fake::FakeLibrary::Instance();
        fake.Reset();
        SetTickSource(nullptr);  // real milliseconds
        fake.AddPort({.driver_type = kDriver, .port = 1});
        fake.AddPort({.driver_type = kDriver, .port = 2});
        fake.ConnectPair(kDriver, 1, 2);
        std::filesystem::create_directory(FarDir());
        std::filesystem::create_directory(OurDir());
    }
    void TearDown() override { fake::FakeLibrary::Instance().Reset(); }

    std::string FarDir() const { return dir.File("far"); }
    std::string OurDir() const { return dir.File("ours"); }

    // Our sender on port 1 to `program args... [target]` on port 2.
    void SendToProgram(Protocol protocol, size_t size, std::vector<std::string> argv,
                       const std::string& stored_as, uint8_t pad) {
        SCOPED_TRACE("size " + std::to_string(size));
        const std::string name = "file" + std::to_string(size) + ".bin";
        const auto data = Pattern(size, static_cast<uint32_t>(size));
        WriteBytes(dir.File(name), data);
        // Our port listens before the far end starts, so its first start byte is not lost.
        Side ours(1);
        ASSERT_EQ(ours.port.Open(), 0u);
        QORVAL_ResetBuffers(ours.port.GetHandle(), QORVAL_RESET_BOTH);
        ChildBridge far(kDriver, 2, 1024, std::move(argv), FarDir());
        ASSERT_TRUE(far.Started());
        auto file = LockedFile::OpenForReading(dir.File(name));
        ASSERT_TRUE(file);
        const TransferUi ui = ours.Ui();
        XmodemSender sender(ours.port, ui, protocol);
        EXPECT_EQ(sender.Run(*file, dir.File(name)), TransferOutcome::Succeeded)
            << far.ErrorOutput() << Said(ours);
        EXPECT_EQ(far.Wait(kChildSeconds), 0) << far.ErrorOutput();
        const auto got = ReadBytes(FarDir() + "/" + (stored_as.empty() ? name : stored_as));
        auto expected = data;
        if (pad != 0) {  // XMODEM: whole blocks
            ASSERT_GE(got.size(), size);
            expected.resize(got.size(), pad);
            EXPECT_EQ(got.size() % 128, 0u);
        }
        EXPECT_EQ(got, expected);
        std::filesystem::remove(FarDir() + "/" + (stored_as.empty() ? name : stored_as));
    }

    // Our receiver on port 1 from `argv` on port 2; returns the outcome.
    TransferOutcome ReceiveFromProgram(Protocol protocol, std::vector<std::string> argv,
                                       const std::string& target, std::string* errors) {
        const bool announces = LastPathComponent(argv[0]) == "sx";
        Side ours(1);
        EXPECT_EQ(ours.port.Open(), 0u);
        // Nothing left on the line by an earlier far end.
        QORVAL_ResetBuffers(ours.port.GetHandle(), QORVAL_RESET_BOTH);
        ChildBridge far(kDriver, 2, 1024, std::move(argv), FarDir());
        EXPECT_TRUE(far.Started());
        if (announces) {
            // sx says when it listens; a start byte sent before may be lost in its start-up.
            EXPECT_TRUE(far.WaitForErrorText("receive command now", kChildSeconds));
        }
        const TransferUi ui = ours.Ui();
        XmodemReceiver receiver(ours.port, ui, protocol);
        const TransferOutcome outcome = receiver.Run(target);
        // The far end may still answer what we sent last (an XMODEM receive ends with CAN
        // bytes); it is let finish while our port still listens.
        EXPECT_EQ(far.Wait(kChildSeconds), 0) << far.ErrorOutput();
        *errors = Said(ours) + "\n" + far.ErrorOutput();
        return outcome;
    }

    TempDir dir;
};

#define REQUIRE_PROGRAM(var, name)                                                   \
    const auto var = FindProgram(name);                                              \
    if (!var) {                                                                      \
        GTEST_SKIP() << "lrzsz is not installed (" name " missing): "                \
                     << "run scripts/setup-deps to test against the lrzsz programs"; \
    }

TEST_F(RealTimeTransfer, OurXmodemSenderToRx) {
    REQUIRE_PROGRAM(rx, "rx");
    for (const bool crc : {false, true}) {
        SCOPED_TRACE(crc ? "CRC" : "checksum");
        for (size_t size : kSizes) {
            std::vector<std::string> argv{*rx, "-q", "-b"};
            if (crc) {
                argv.push_back("-c");
            }
            argv.push_back("out.bin");
            SendToProgram(Protocol::Xmodem, size, argv, "out.bin", 0xFF);
        }
    }
}

TEST_F(RealTimeTransfer, OurXmodem1KSenderToRx) {
    REQUIRE_PROGRAM(rx, "rx");
    for (size_t size : kSizes) {
        SendToProgram(Protocol::Xmodem1K, size, {*rx, "-q", "-b", "-c", "out.bin"}, "out.bin",
                      0xFF);
    }
}

TEST_F(RealTimeTransfer, OurYmodemSenderToRb) {
    REQUIRE_PROGRAM(rb, "rb");
    // rb asks with "C", so a YMODEM-G sender runs plain YMODEM here (tested in virtual time).
    for (size_t size : kSizes) {
        SendToProgram(Protocol::Ymodem, size, {*rb, "-q", "-b"}, "", 0);
    }
}

TEST_F(RealTimeTransfer, OurXmodemReceiverFromSx) {
    REQUIRE_PROGRAM(sx, "sx");
    for (const bool large : {false, true}) {
        for (size_t size : kSizes) {
            SCOPED_TRACE("size " + std::to_string(size) + (large ? " 1K" : ""));
            const auto data = Pattern(size, static_cast<uint32_t>(size + 1));
            WriteBytes(FarDir() + "/in.bin", data);
            std::vector<std::string> argv{*sx, "-q", "-b"};
            if (large) {
                argv.push_back("-k");
            }
            argv.push_back("in.bin");
            std::string errors;
            const std::string target = OurDir() + "/out.bin";
            EXPECT_EQ(ReceiveFromProgram(large ? Protocol::Xmodem1K : Protocol::Xmodem, argv,
                                         target, &errors),
                      TransferOutcome::Succeeded)
                << errors;
            const auto got = ReadBytes(target);
            ASSERT_GE(got.size(), size);
            EXPECT_EQ(got.size() % 128, 0u);
            auto expected = data;
            expected.resize(got.size(), 0x1A);
            EXPECT_EQ(got, expected);
        }
    }
}

TEST_F(RealTimeTransfer, OurYmodemReceiverTakesABatchFromSb) {
    REQUIRE_PROGRAM(sb, "sb");
    std::vector<std::string> argv{*sb, "-q", "-b"};
    for (size_t size : kSizes) {
        const std::string name = "batch" + std::to_string(size) + ".bin";
        WriteBytes(FarDir() + "/" + name, Pattern(size, static_cast<uint32_t>(size + 2)));
        argv.push_back(name);
    }
    std::string errors;
    EXPECT_EQ(ReceiveFromProgram(Protocol::Ymodem, argv, OurDir(), &errors),
              TransferOutcome::Succeeded)
        << errors;
    for (size_t size : kSizes) {
        const std::string name = "batch" + std::to_string(size) + ".bin";
        EXPECT_EQ(ReadBytes(OurDir() + "/" + name), ReadBytes(FarDir() + "/" + name)) << name;
    }
}

TEST_F(RealTimeTransfer, OurYmodemGReceiverFromSb) {
    REQUIRE_PROGRAM(sb, "sb");
    const auto data = Pattern(200 * 1024 + 17, 99);
    WriteBytes(FarDir() + "/stream.bin", data);
    std::string errors;
    EXPECT_EQ(
        ReceiveFromProgram(Protocol::YmodemG, {*sb, "-q", "-b", "stream.bin"}, OurDir(), &errors),
        TransferOutcome::Succeeded)
        << errors;
    EXPECT_EQ(ReadBytes(OurDir() + "/stream.bin"), data);
}

// Two of our own terminals on a line, each on its own thread as two programs would be. The
// line delivers a frame only into a free receive buffer, as flow on a real line is bounded by
// its rate; without that a streaming sender would outrun any receiver.
TEST_F(RealTimeTransfer, BetweenTwoOfOurTerminals) {
    auto& fake = fake::FakeLibrary::Instance();
    fake.AddPort({.driver_type = kDriver, .port = 4});
    PacedLine line(kDriver, 1, 2, 4, 3, 0);
    for (const Protocol protocol :
         {Protocol::Xmodem, Protocol::Xmodem1K, Protocol::Ymodem, Protocol::YmodemG}) {
        SCOPED_TRACE(std::string(ProtocolName(protocol)));
        const auto data = Pattern(70000, static_cast<uint32_t>(protocol));
        WriteBytes(dir.File("pair.bin"), data);
        Side sending(1);
        Side receiving(4);
        ASSERT_EQ(sending.port.Open(), 0u);
        ASSERT_EQ(receiving.port.Open(), 0u);
        const std::string target = OurDir() + (IsYmodem(protocol) ? "" : "/pair.bin");
        TransferOutcome received = TransferOutcome::Failed;
        std::thread receiver_thread([&] {
            const TransferUi ui = receiving.Ui();
            XmodemReceiver receiver(receiving.port, ui, protocol);
            received = receiver.Run(target);
        });
        auto file = LockedFile::OpenForReading(dir.File("pair.bin"));
        ASSERT_TRUE(file);
        const TransferUi ui = sending.Ui();
        XmodemSender sender(sending.port, ui, protocol);
        EXPECT_EQ(sender.Run(*file, dir.File("pair.bin")), TransferOutcome::Succeeded)
            << Said(sending);
        receiver_thread.join();
        EXPECT_EQ(received, TransferOutcome::Succeeded) << Said(receiving);
        EXPECT_EQ(fake.DroppedFrames(kDriver, 2) + fake.DroppedFrames(kDriver, 4), 0u);
        auto got = ReadBytes(OurDir() + "/pair.bin");
        if (!IsYmodem(protocol)) {
            ASSERT_GE(got.size(), data.size());
            got.resize(data.size());
        }
        EXPECT_EQ(got, data);
        std::filesystem::remove(OurDir() + "/pair.bin");
    }
}

}  // namespace
}  // namespace qorval::terminal::testing
