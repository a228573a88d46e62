// The poll step on a busy line: every frame waiting is taken in one step, each with its own
// buffer count and read, nothing lost or reordered; the log, the capture file and the
// command line's output are written out on a 100 ms timer of the tick count (the fake
// library's virtual clock here) and when capture stops, never once per frame.
#include <gtest/gtest.h>

#include <cstdio>
#include <sstream>
#include <streambuf>

#include "analyser/headless.h"
#include "analyser/tests/engine_fixture.h"

namespace qorval::analyser::testing {
namespace {

std::string Numbered(int i) {
    char text[8];
    std::snprintf(text, sizeof text, "F%03d", i);
    return text;
}

class PollStepTest : public EngineTest {
  protected:
    // Raw logging into "raw.log", capture on.
    void StartRawLog() {
        OpenPort();
        app_->SetLoggingOptions(Log().string(), true);
        app_->ToggleLogging();
        ASSERT_TRUE(app_->LoggingEnabled());
        StartCapture();
    }
    std::filesystem::path Log() const { return dir_ / "raw.log"; }
    size_t Count(const std::vector<std::string>& log, const std::string& name) {
        return static_cast<size_t>(std::count_if(log.begin(), log.end(), [&](const auto& c) {
            return c.starts_with(name + "(");
        }));
    }
};

TEST_F(PollStepTest, EveryWaitingFrameIsTakenInOneStepInOrder) {
    StartRawLog();
    std::string expected;
    for (int i = 0; i < 250; ++i) {
        Queue(Numbered(i));
        expected += Numbered(i);
    }
    Fake().ClearCallLog();
    app_->PollStep();
    EXPECT_EQ(app_->FramesShown(), 250u);
    EXPECT_EQ(app_->FrameCount(), 250u);
    EXPECT_EQ(ui_.view.text_, "00FA 0000 F249\r\n");
    // Each frame as its own poll would take it: the count, then the read.
    const auto calls = Fake().CallLog();
    ASSERT_EQ(calls.size(), 500u);
    for (size_t i = 0; i < calls.size(); i += 2) {
        EXPECT_TRUE(calls[i].starts_with("QORVAL_GetBufferCount(")) << i;
        EXPECT_TRUE(calls[i + 1].starts_with("QORVAL_GetDataTimed(")) << i;
    }
    app_->PollStep();  // nothing more waiting: one count, no read
    EXPECT_EQ(Count(Fake().CallLog(), "QORVAL_GetDataTimed"), 250u);
    app_->ToggleCapture();
    EXPECT_EQ(ReadFile(Log()), expected);
}

TEST_F(PollStepTest, FramesArrivingDuringAStepWaitForTheNext) {
    StartRawLog();
    Queue("A");
    Queue("B");
    // Due while the step reads: the step keeps to the two it counted first.
    Fake().QueueFrame(kDriver, 1, Bytes("C"), Fake().NowMs() + 3);
    Fake().SetAutoAdvanceMs(1);
    app_->PollStep();
    EXPECT_EQ(app_->FramesShown(), 2u);
    app_->PollStep();
    EXPECT_EQ(app_->FramesShown(), 3u);
    app_->ToggleCapture();
    EXPECT_EQ(ReadFile(Log()), "ABC");
}

TEST_F(PollStepTest, WithTransmissionOnEachReceivedFrameIsAnsweredBeforeTheNextIsRead) {
    const auto log = dir_ / "log.txt";
    OpenPort();
    app_->SetLoggingOptions(log.string(), false);
    app_->ToggleLogging();
    app_->SetSendOptions({"", false, WriteFile("send.txt", "S1\nS2\n").string(), false});
    app_->ToggleTransmit();
    StartCapture();
    Queue("a");
    Queue("b");
    for (int i = 0; i < 10; ++i) {
        app_->PollStep();
    }
    app_->ToggleCapture();
    EXPECT_EQ(ReadFile(log),
              "0001 0000 a\r\r\nSENT 0000 S1\r\r\n0002 0000 b\r\r\nSENT 0000 S2\r\r\n");
}

class CountingObserver final : public FrameObserver {
  public:
    void OnFrame(const CapturedFrame&) override { ++frames; }
    void Flush() override { ++flushes; }
    int frames = 0, flushes = 0;
};

TEST_F(PollStepTest, OutputIsWrittenOutOnTheTimerAndWhenCaptureStops) {
    CountingObserver observer;
    app_->SetFrameObserver(&observer);
    StartRawLog();
    const int viewFlushes = ui_.view.flushes_;
    for (int i = 0; i < 20; ++i) {
        Queue("x");
        app_->PollStep();
        Fake().AdvanceMs(4);  // 20 frames within 80 ms
    }
    EXPECT_EQ(ReadFile(Log()), "") << "nothing may be written out per frame";
    EXPECT_EQ(observer.flushes, 0);
    Fake().AdvanceMs(19);  // 99 ms after the first frame
    app_->PollStep();
    EXPECT_EQ(ReadFile(Log()), "");
    Fake().AdvanceMs(1);
    app_->PollStep();  // an idle step still keeps the timer
    EXPECT_EQ(ReadFile(Log()), std::string(20, 'x'));
    EXPECT_EQ(observer.frames, 20);
    EXPECT_EQ(observer.flushes, 1);
    EXPECT_EQ(ui_.view.flushes_, viewFlushes + 1);

    Fake().AdvanceMs(1000);
    app_->PollStep();  // nothing new: no flush
    EXPECT_EQ(observer.flushes, 1);
    Queue("y");
    app_->PollStep();
    app_->ToggleCapture();
    EXPECT_EQ(ReadFile(Log()), std::string(20, 'x') + "y");
    EXPECT_EQ(observer.flushes, 2);
    app_->SetFrameObserver(nullptr);
}

// Counts what reaches the stream and how often it is told to write out.
class CountingBuffer final : public std::stringbuf {
  public:
    int syncs = 0;

  protected:
    int sync() override {
        ++syncs;
        return std::stringbuf::sync();
    }
};

TEST_F(PollStepTest, CommandLineOutputIsFlushedOnTheTimerNotPerFrame) {
    Fake().SetAutoAdvanceMs(1);
    const uint32_t start = Fake().NowMs();
    std::string expected;
    for (int i = 0; i < 600; ++i) {  // one frame a millisecond for 600 ms
        Fake().QueueFrame(kDriver, 1, Bytes(Numbered(i)), start + static_cast<uint32_t>(i));
        char line[32];
        std::snprintf(line, sizeof line, "%04X 0000 %s\n", i + 1, Numbered(i).c_str());
        expected += line;
    }
    CountingBuffer buffer;
    std::ostream out(&buffer);
    std::ostringstream err;
    std::atomic<bool> stop{false};
    const auto parsed = ParseHeadlessArguments({"--capture", "--seconds", "1"});
    ASSERT_EQ(RunHeadless(std::get<HeadlessOptions>(parsed), {dir_ / "lombex32.ini", &stop, {}},
                          out, err),
              0);
    EXPECT_EQ(err.str(), "");
    EXPECT_EQ(buffer.str(), expected);
    EXPECT_GE(buffer.syncs, 1);   // at least at the end
    EXPECT_LE(buffer.syncs, 12);  // about one a 100 ms of a one-second run, not one a frame
}

}  // namespace
}  // namespace qorval::analyser::testing
