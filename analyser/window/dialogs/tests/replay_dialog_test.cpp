// Replay Capture: no dialog without a selected port; OK waits for a file, Browse fills it in,
// the timing is chosen, and OK starts the replay on the port.
#include <gtest/gtest.h>

#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>

#include "analyser/capture_record.h"
#include "analyser/window/dialogs/analyser_dialogs.h"
#include "analyser/window/dialogs/tests/dialog_test_fixture.h"
#include "platform/window/testing/screenshot.h"

namespace qorval::analyser::testing {
namespace {

class ReplayDialogTest : public DialogTest {
  protected:
    std::string CaptureFile() {
        CaptureRecord record;
        record.OnFrame({Bytes("one"), false, 0, 1'000'000'000});
        record.OnFrame({Bytes("two"), false, 0, 1'000'000'000});
        const auto path = dir_ / "link.pcapng";
        EXPECT_TRUE(record.WritePcapng(path, "Wyvel32 port 2"));
        return path.string();
    }
};

TEST_F(ReplayDialogTest, NeedsASelectedPort) {
    NoDialogGuard guard;
    EXPECT_FALSE(RunReplayDialog(&parent_, *app_, messages_));
    EXPECT_EQ(guard.Closed(), 0);
    EXPECT_EQ(ui_.LastMessage().rfind("Driver and Port have not been selected!", 0), 0u);
}

TEST_F(ReplayDialogTest, OkStartsTheReplayOfTheChosenFileWithTheChosenTiming) {
    OpenPort();
    const std::string file = CaptureFile();
    messages_.ChooseNext(file);
    WhenDialog([&](QDialog& dialog) {
        EXPECT_EQ(dialog.windowTitle(), "Replay Capture");
        auto& ok = Find<QPushButton>(dialog, "okButton");
        auto& original = Find<QRadioButton>(dialog, "originalTiming");
        EXPECT_TRUE(original.isChecked());
        EXPECT_FALSE(ok.isEnabled()) << "a replay needs a file";
        Find<QPushButton>(dialog, "browseButton").click();
        EXPECT_EQ(Text(Find<QLineEdit>(dialog, "captureFile")), file);
        EXPECT_TRUE(ok.isEnabled());
        Find<QRadioButton>(dialog, "lineTiming").click();
        EXPECT_TRUE(ui::testing::SaveScreenshot(dialog, "lombex32-replay-capture"));
        ok.click();
    });
    ASSERT_TRUE(RunReplayDialog(&parent_, *app_, messages_));
    ASSERT_EQ(messages_.fileChoices.size(), 1u);
    EXPECT_EQ(messages_.fileChoices[0].caption, "Replay Capture");
    EXPECT_TRUE(app_->Replaying());
    EXPECT_EQ(ui_.LastStatus(), "Replaying 2 frames from " + file + ".");
    // As fast as the line takes them: both at the first step, though they carry one time.
    EXPECT_FALSE(app_->ReplayStep().has_value());
    EXPECT_EQ(Sent(), (std::vector<std::string>{"one", "two"}));
}

}  // namespace
}  // namespace qorval::analyser::testing
