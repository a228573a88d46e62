// The command-line terminal against the fake library.

#include <gtest/gtest.h>
#include <unistd.h>

#include <sstream>
#include <string>
#include <vector>

#include "portaccess/fake/fake_library.h"
#include "terminal/tests/support/far_end.h"
#include "terminal/tests/support/temp_dir.h"
#include "terminal/vintor_cli.h"

namespace qorval::terminal::testing {
namespace {

constexpr uint16_t kDriver = QORVAL_DRIVER_WYVEL32;

TEST(VintorArgs, AcceptedAndRefused) {
    struct Case {
        std::vector<std::string> args;
        bool ok;
        VintorOptions::Mode mode = VintorOptions::Mode::Terminal;
        std::string file = "";
    };
    const std::vector<Case> cases = {
        {{"--port", "2"}, true},
        {{"--port", "1", "--send", "a.bin", "--protocol", "ymodem-g"},
         true,
         VintorOptions::Mode::Send,
         "a.bin"},
        {{"--port", "1", "--receive"}, true, VintorOptions::Mode::Receive, "./temp.dat"},
        {{"--port", "1", "--receive", "--dir", "/tmp"},
         true,
         VintorOptions::Mode::Receive,
         "/tmp/temp.dat"},
        {{"--port", "1", "--receive", "out.bin", "--protocol", "xmodem-1k"},
         true,
         VintorOptions::Mode::Receive,
         "out.bin"},
        {{"--port", "1", "--receive", "--protocol", "ymodem", "--dir", "d"},
         true,
         VintorOptions::Mode::Receive},
        {{}, false},
        {{"--port", "0"}, false},
        {{"--port", "x1"}, false},
        {{"--port"}, false},
        {{"--port", "1", "--send", "a"}, false},  // no protocol
        {{"--port", "1", "--send", "a", "--protocol", "zmodem"}, false},
        {{"--port", "1", "--send", "a", "--receive", "--protocol", "xmodem"}, false},
        {{"--port", "1", "--receive", "f", "--dir", "d"}, false},
        {{"--port", "1", "--receive", "f", "--protocol", "ymodem"}, false},
        {{"--port", "1", "--protocol", "xmodem"}, false},
    };
    for (const auto& c : cases) {
        std::string error;
        const auto o = ParseVintorArgs(c.args, error);
        std::string joined;
        for (const auto& a : c.args) {
            joined += a + " ";
        }
        ASSERT_EQ(o.has_value(), c.ok) << joined << error;
        if (o) {
            EXPECT_EQ(o->mode, c.mode) << joined;
            EXPECT_EQ(o->file, c.file) << joined;
        } else {
            EXPECT_FALSE(error.empty());
        }
    }
}

class VintorRun : public ::testing::Test {
  protected:
    void SetUp() override {
        auto& fake = fake::FakeLibrary::Instance();
        fake.Reset();
        fake.SetAutoAdvanceMs(1);
        fake.AddPort({.driver_type = kDriver, .port = 1});
        fake.AddPort({.driver_type = kDriver, .port = 2});
    }
    int Run(const std::vector<std::string>& args, int input_fd = -1) {
        std::string error;
        const auto options = ParseVintorArgs(args, error);
        EXPECT_TRUE(options) << error;
        return RunVintor(*options, input_fd, out, err, target);
    }
    TempDir dir;
    std::ostringstream out;
    std::ostringstream err;
    std::atomic<CancelFlag*> target{nullptr};
};

TEST_F(VintorRun, SendSucceedsWithExitZero) {
    fake::FakeLibrary::Instance().ConnectPair(kDriver, 1, 2);
    WriteBytes(dir.File("a.bin"), Pattern(3000));
    ReferenceReceiver far;
    far.ymodem = true;
    FarEndHook hook(far, kDriver, 2);
    EXPECT_EQ(Run({"--port", "1", "--send", dir.File("a.bin"), "--protocol", "ymodem"}), 0);
    EXPECT_NE(err.str().find("File(s) successfully transmitted."), std::string::npos);
    EXPECT_NE(err.str().find("3000 of 3000 bytes sent [100%]"), std::string::npos);
    EXPECT_EQ(far.name, "a.bin");
    EXPECT_EQ(target.load(), nullptr);
}

TEST_F(VintorRun, FailuresGiveExitOne) {
    EXPECT_EQ(Run({"--port", "1", "--receive", "--dir", dir.Path().string()}), 1);
    EXPECT_NE(err.str().find("Timed out waiting for transmitter to send file."), std::string::npos);
    EXPECT_EQ(Run({"--port", "4", "--receive"}), 1);
    EXPECT_NE(err.str().find("Unable to open Quint port"), std::string::npos);
}

TEST_F(VintorRun, TerminalSendsKeysAndShowsWhatArrives) {
    // Each frame is one piece: the backspace of the second rubs out the x of the first.
    fake::FakeLibrary::Instance().QueueFrame(kDriver, 1, {'o', 'k', '\r', '\n', 'x'});
    fake::FakeLibrary::Instance().QueueFrame(kDriver, 1, {0x08});
    int keys[2];
    ASSERT_EQ(::pipe(keys), 0);
    const char typed[] = {'h', 'i', kQuitKey, 'z'};
    ASSERT_EQ(::write(keys[1], typed, sizeof typed), static_cast<ssize_t>(sizeof typed));
    EXPECT_EQ(Run({"--port", "1"}, keys[0]), 0);
    ::close(keys[0]);
    ::close(keys[1]);
    EXPECT_EQ(out.str(), "ok\r\nx\b \b");
    std::vector<std::vector<uint8_t>> sent;
    for (auto& f : fake::FakeLibrary::Instance().TakeSentFrames(kDriver, 1)) {
        sent.push_back(f.bytes);
    }
    EXPECT_EQ(sent, (std::vector<std::vector<uint8_t>>{{'h'}, {'i'}}));
}

}  // namespace
}  // namespace qorval::terminal::testing
