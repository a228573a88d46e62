// Each frame's time: the optional time column of the display and the formatted log (relative
// to the start of capture or to the frame before; off by default, which the capture tests
// show to be the display as it always was), and the time every frame carries to the record.
#include <gtest/gtest.h>

#include "analyser/capture_record.h"
#include "analyser/frame_time.h"
#include "analyser/tests/engine_fixture.h"
#include "platform/profile.h"

namespace qorval::analyser::testing {
namespace {

TEST(TimeColumnText, SecondsWithMicrosecondsRightAlignedInElevenCharacters) {
    struct Case {
        uint64_t arrival, reference;
        const char* text;
    };
    const uint64_t t = 1'700'000'000'000'000'000;
    for (const Case& c : std::initializer_list<Case>{
             {t, t, "   0.000000 "},
             {t + 28'999, t, "   0.000028 "},  // cut to whole microseconds
             {t + 1'500'000'000, t, "   1.500000 "},
             {t + 12'345'678'901'000, t, "12345.678901 "},  // wider when it must be
             {t, t + 120'000, "  -0.000120 "},                // before its reference
         }) {
        EXPECT_EQ(FormatTimeColumn(c.arrival, c.reference), c.text) << c.text;
    }
}

TEST(TimeColumnText, FirstLineCarriesTheTimeAndTheRestKeepTheBytesAligned) {
    EXPECT_EQ(AddTimeColumn("0001 0000 41 \r\n0001 0010 42 \r\n", "   0.000028 "),
              "   0.000028 0001 0000 41 \r\n            0001 0010 42 \r\n");
    EXPECT_EQ(AddTimeColumn("", "   0.000028 "), "");
    EXPECT_EQ(TimeColumnFromSetting(1), TimeColumn::SinceStart);
    EXPECT_EQ(TimeColumnFromSetting(2), TimeColumn::SincePrevious);
    EXPECT_EQ(TimeColumnFromSetting(7), TimeColumn::Off);
}

class TimeColumnTest : public EngineTest {
  protected:
    void SetUp() override {
        EngineTest::SetUp();
        // The analyser's clock is the fake library's, which stamps the frames it delivers.
        app_->SetWallClock([] { return fake::FakeLibrary::ArrivalNsOf(Fake().NowMs()); });
    }
    // A frame that arrives `ms` from now, and the clock moved on to it.
    void ArriveIn(uint32_t ms, std::string_view text, uint32_t result = 0) {
        Fake().QueueFrame(kDriver, 1, Bytes(text), Fake().NowMs() + ms, result);
        Fake().AdvanceMs(ms);
    }
};

TEST_F(TimeColumnTest, SinceStartAndSincePreviousInTheWindowAndTheFormattedLog) {
    OpenPort();
    app_->SetLoggingOptions((dir_ / "log.txt").string(), false);
    app_->ToggleLogging();
    app_->SetTimeColumn(TimeColumn::SinceStart);
    EXPECT_EQ(ui_.LastStatus(), "Showing each frame's time since the start of capture.");
    StartCapture();
    app_->SetDisplayFormat(1);
    ArriveIn(1, "0123456789ABCDEFxy");  // two hexadecimal lines
    // Read 40 ms after it arrived: the column shows when it arrived.
    Fake().AdvanceMs(40);
    PollFrames(1);
    EXPECT_EQ(ui_.view.text_,
              "   0.001000 0001 0000 30 31 32 33 34 35 36 37 38 39 41 42 43 44 45 46 \r\n"
              "            0001 0010 78 79 \r\n");
    ArriveIn(2, "Z");
    PollFrames(2);
    EXPECT_EQ(ui_.view.text_, "   0.043000 0002 0000 5A \r\n");
    // The same frame against the one before it; shown again at once, as a format change is.
    app_->SetTimeColumn(TimeColumn::SincePrevious);
    EXPECT_EQ(ui_.view.text_, "   0.042000 0002 0000 5A \r\n");
    EXPECT_EQ(ui_.LastStatus(), "Showing each frame's time since the frame before it.");
    app_->SetTimeColumn(TimeColumn::Off);
    EXPECT_EQ(ui_.view.text_, "0002 0000 5A \r\n");
    EXPECT_EQ(ui_.LastStatus(), "Not showing frame times.");
    app_->ToggleCapture();
    EXPECT_EQ(ReadFile(dir_ / "log.txt"),
              "   0.001000 0001 0000 30 31 32 33 34 35 36 37 38 39 41 42 43 44 45 46 \r\r\n"
              "            0001 0010 78 79 \r\r\n"
              "   0.043000 0002 0000 5A \r\r\n");
}

TEST_F(TimeColumnTest, SentFramesAndErrorTextsCarryTheirTimesToTheDisplayAndTheRecord) {
    CaptureRecord record;
    app_->SetFrameObserver(&record);
    OpenPort();
    app_->SetTimeColumn(TimeColumn::SincePrevious);
    app_->SetSendOptions({"", false, WriteFile("send.txt", "S1\n").string(), true});
    app_->ToggleTransmit();
    StartCapture();
    Fake().AdvanceMs(1);
    app_->PollStep();  // the first block goes out 1 ms after the start
    EXPECT_EQ(ui_.view.text_, "   0.001000 SENT 0000 S1\r\n");
    ArriveIn(3, "r", QORVAL_CRC_ERROR);  // shown as its error text
    PollFrames(2);
    EXPECT_TRUE(ui_.view.text_.starts_with("   0.003000 0001 0000 CRC")) << ui_.view.text_;
    ASSERT_EQ(record.Frames().size(), 2u);
    EXPECT_EQ(record.Frames()[0].arrivalNs, app_->CaptureStartNs() + 1'000'000);
    EXPECT_TRUE(record.Frames()[0].sent);
    EXPECT_EQ(record.Frames()[1].arrivalNs, app_->CaptureStartNs() + 4'000'000);
    EXPECT_EQ(record.Frames()[1].bytes, Bytes("r"));
    EXPECT_EQ(app_->CurrentArrivalNs(), record.Frames()[1].arrivalNs);
    app_->SetFrameObserver(nullptr);
}

TEST_F(TimeColumnTest, TheSettingIsKeptInTheProfileOnlyOnceItChanged) {
    OpenPort();
    app_->Shutdown();
    platform::ProfileFile profile(dir_ / "lombex32.ini");
    EXPECT_EQ(profile.GetInt("Settings", "TimeColumn", -1), -1);
    app_ = std::make_unique<CAnalyserApp>(ui_, dir_ / "lombex32.ini");
    OpenPort();
    app_->SetTimeColumn(TimeColumn::SincePrevious);
    app_->Shutdown();
    platform::ProfileFile again(dir_ / "lombex32.ini");
    EXPECT_EQ(again.GetInt("Settings", "TimeColumn", -1), 2);
    app_ = std::make_unique<CAnalyserApp>(ui_, dir_ / "lombex32.ini");
    OpenPort();
    EXPECT_EQ(app_->GetTimeColumn(), TimeColumn::SincePrevious);
}

}  // namespace
}  // namespace qorval::analyser::testing
