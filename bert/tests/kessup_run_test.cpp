// kessup's run over a fake pair: a repeater on port 2, the tester on port 1.

#include "bert/kessup_run.h"

#include <gtest/gtest.h>
#include <sys/stat.h>

#include <algorithm>
#include <iostream>
#include <sstream>

#include "bert/bert_session.h"
#include "bert/tests/test_wait.h"
#include "bert/workers.h"
#include "platform/testing/temporary_directory.h"
#include "portaccess/fake/fake_library.h"

namespace {

using namespace qorval::bert;
using qorval::bert::testing::WaitFor;
using qorval::fake::FakeLibrary;

constexpr uint16_t kDriver = QORVAL_DRIVER_WYVEL32;

// Advances the virtual clock by 100 ms per tick, each tick after a fresh frame has arrived, so
// the status never reads "No Data" for want of real time.
class FrameTicker : public KessupTicker {
  public:
    bool WaitTick(const BertSession& session) override {
        const auto& rx = session.Counters().rxFrames;
        const uint32_t seen = lastRx_;
        if (!WaitFor([&] { return rx.load() > seen; })) {
            return false;
        }
        lastRx_ = rx.load();
        FakeLibrary::Instance().AdvanceMs(100);
        ++ticks;
        return true;
    }
    int ticks = 0;

  private:
    uint32_t lastRx_ = 0;
};

std::vector<std::string> Lines(const std::string& s) {
    std::vector<std::string> out;
    std::istringstream in(s);
    for (std::string line; std::getline(in, line);) {
        out.push_back(line);
    }
    return out;
}

// Ports 1 and 2 of the fake library back to back, a tester in repeat mode on port 2.
class RepeaterOnPortTwo {
  public:
    RepeaterOnPortTwo() {
        FakeLibrary& fake = FakeLibrary::Instance();
        fake.Reset();
        fake.AddPort({.port = 1});
        fake.AddPort({.port = 2});
        fake.ConnectPair(kDriver, 1, 2);
        session_.Port().SelectPort(kDriver, 2);
        session_.SetRepeatMode(true);
        opened_ = session_.OpenPort() == QORVAL_OK;
    }
    bool opened() const { return opened_; }
    void Shutdown() { session_.Shutdown(); }

  private:
    BertSession session_;
    bool opened_ = false;
};

TEST(KessupRun, RunsAgainstARepeaterAndSummarises) {
    RepeaterOnPortTwo repeater;
    ASSERT_TRUE(repeater.opened());

    KessupOptions options;
    options.port = 1;
    options.seconds = 3;
    FrameTicker ticker;
    std::ostringstream out;
    EXPECT_EQ(RunKessup(options, out, ticker), 0);
    repeater.Shutdown();

    EXPECT_EQ(ticker.ticks, 30);
    std::cout << out.str();  // what the command line shows, for the reader of the test log
    const auto lines = Lines(out.str());
    ASSERT_EQ(lines.size(), 4u) << out.str();
    EXPECT_TRUE(lines[0].starts_with("000 : 00 : 01  Tx Frames: ")) << lines[0];
    EXPECT_NE(lines[2].find("Status: In Sync"), std::string::npos) << lines[2];
    EXPECT_NE(lines[2].find("Bit Errors: 0 "), std::string::npos) << lines[2];
    const std::string& summary = lines[3];
    EXPECT_TRUE(summary.starts_with("tx_frames=")) << summary;
    for (const char* field : {" bit_errors=0 ", " sync_losses=0 ", " crc_errors=0 ",
                              " overrun_errors=0 ", " line_errors=0 ", " other_errors=0 "}) {
        EXPECT_NE(summary.find(field), std::string::npos) << field << " in " << summary;
    }
    EXPECT_TRUE(summary.ends_with(" status=In Sync")) << summary;
}

// `kessup --disk` where testfile.dat is a FIFO: the run goes on for its time and says once why
// there is no disk load.
TEST(KessupRun, ADiskLoadFileThatIsAFifoIsReportedAndTheRunEndsOnTime) {
    RepeaterOnPortTwo repeater;
    ASSERT_TRUE(repeater.opened());
    qorval::testing::TemporaryDirectory dir{"kessup"};
    const auto fifo = dir.Path() / kDiskLoadFileName;
    ASSERT_EQ(::mkfifo(fifo.c_str(), 0600), 0);

    KessupOptions options;
    options.port = 1;
    options.seconds = 1;
    options.disk = true;
    options.diskDirectory = dir.Path();
    FrameTicker ticker;
    std::ostringstream out;
    EXPECT_EQ(RunKessup(options, out, ticker), 0);
    repeater.Shutdown();

    EXPECT_EQ(ticker.ticks, 10);
    const auto lines = Lines(out.str());
    ASSERT_EQ(lines.size(), 3u) << out.str();
    EXPECT_EQ(std::count(lines.begin(), lines.end(),
                         "kessup: no disk load: " + fifo.string() + ": not a regular file"),
              1);
    EXPECT_TRUE(lines[2].starts_with("tx_frames=")) << lines[2];
}

TEST(KessupRun, ReportsAPortThatCannotBeOpened) {
    FakeLibrary::Instance().Reset();
    FakeLibrary::Instance().AddPort({.port = 1});
    KessupOptions options;
    options.port = 3;
    FrameTicker ticker;
    std::ostringstream out;
    EXPECT_EQ(RunKessup(options, out, ticker), 1);
    EXPECT_EQ(out.str(), "Failure opening port. (result 10)\n");
}

TEST(KessupArgs, AcceptsTheDocumentedFormsOnly) {
    struct Case {
        std::vector<std::string> args;
        bool ok;
    };
    const Case cases[] = {
        {{"--port", "2"}, true},
        {{"--port", "1", "--seconds", "10", "--repeat", "--disk"}, true},
        {{}, false},
        {{"--port"}, false},
        {{"--port", "0"}, false},
        {{"--port", "70000"}, false},
        {{"--port", "2x"}, false},
        {{"--port", "1", "--seconds", "-1"}, false},
        {{"--port", "1", "--verbose"}, false},
    };
    for (const Case& c : cases) {
        std::string error;
        auto options = ParseKessupArgs(c.args, error);
        EXPECT_EQ(options.has_value(), c.ok) << ::testing::PrintToString(c.args);
        EXPECT_EQ(error.empty(), c.ok);
    }
    std::string error;
    auto options = ParseKessupArgs({"--seconds", "7", "--port", "2", "--repeat"}, error);
    ASSERT_TRUE(options);
    EXPECT_EQ(options->port, 2);
    EXPECT_EQ(options->seconds, 7u);
    EXPECT_TRUE(options->repeat);
    EXPECT_FALSE(options->disk);
}

}  // namespace
