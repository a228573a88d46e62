// Logging Options: the fields start from the settings; OK stores them and turns logging off,
// Cancel changes nothing; Browse puts the chosen file into the edit.
#include <gtest/gtest.h>

#include <QCheckBox>
#include <QLineEdit>
#include <QPushButton>

#include "analyser/window/dialogs/analyser_dialogs.h"
#include "analyser/window/dialogs/tests/dialog_test_fixture.h"
#include "platform/window/testing/screenshot.h"

namespace qorval::analyser::testing {
namespace {

class LoggingOptionsDialogTest : public DialogTest {
  protected:
    void SetUp() override {
        DialogTest::SetUp();
        app_->MutableParms().logFile = (dir_ / "capture.log").string();
        app_->ToggleLogging();
        ASSERT_TRUE(app_->LoggingEnabled());
        ui_.user.statuses.clear();
    }
};

TEST_F(LoggingOptionsDialogTest, OkStoresBothValuesAndTurnsLoggingOff) {
    const std::string raw = (dir_ / "raw.bin").string();
    WhenDialog([&](QDialog& dialog) {
        EXPECT_EQ(dialog.windowTitle(), "Logging Options");
        auto& file = Find<QLineEdit>(dialog, "logFileName");
        auto& rawLogging = Find<QCheckBox>(dialog, "rawLogging");
        EXPECT_EQ(Text(file), (dir_ / "capture.log").string());
        EXPECT_FALSE(rawLogging.isChecked());
        EXPECT_EQ(Text(rawLogging), "Log raw data instead of Formatted text.");
        EXPECT_EQ(Text(Find<QPushButton>(dialog, "browseButton")), "&Browse...");
        file.setText(QString::fromStdString(raw));
        rawLogging.setChecked(true);
        Find<QPushButton>(dialog, "okButton").click();
    });
    RunLoggingOptionsDialog(&parent_, *app_, messages_);
    EXPECT_EQ(app_->Parms().logFile, raw);
    EXPECT_TRUE(app_->Parms().rawLogging);
    EXPECT_FALSE(app_->LoggingEnabled());
    EXPECT_FALSE(ui_.menu.logging) << "the menu mark follows";
    EXPECT_EQ(ui_.LastStatus(), "Logging options changed. Logging disabled.");
}

TEST_F(LoggingOptionsDialogTest, OkWithNothingChangedStillTurnsLoggingOff) {
    WhenDialog([](QDialog& dialog) { Find<QPushButton>(dialog, "okButton").click(); });
    RunLoggingOptionsDialog(&parent_, *app_, messages_);
    EXPECT_FALSE(app_->LoggingEnabled());
    EXPECT_EQ(ui_.LastStatus(), "Logging options changed. Logging disabled.");
}

TEST_F(LoggingOptionsDialogTest, CancelChangesNothingEvenAfterABrowse) {
    const ParmsSettings before = app_->Parms();
    messages_.ChooseNext((dir_ / "other.log").string());
    WhenDialog([](QDialog& dialog) {
        Find<QPushButton>(dialog, "browseButton").click();
        Find<QLineEdit>(dialog, "logFileName").setText("logfile.txt");
        Find<QCheckBox>(dialog, "rawLogging").setChecked(true);
        EXPECT_TRUE(ui::testing::SaveScreenshot(dialog, "lombex32-logging-options"));
        Find<QPushButton>(dialog, "cancelButton").click();
    });
    RunLoggingOptionsDialog(&parent_, *app_, messages_);
    EXPECT_EQ(app_->Parms(), before);
    EXPECT_TRUE(app_->LoggingEnabled());
    EXPECT_TRUE(ui_.user.statuses.empty());
}

TEST_F(LoggingOptionsDialogTest, BrowseReplacesTheNameAndMayNameAFileNotMadeYet) {
    const std::string chosen = (dir_ / "new.log").string();
    messages_.ChooseNext(std::nullopt);  // the first Browse is cancelled
    messages_.ChooseNext(chosen);
    WhenDialog([&](QDialog& dialog) {
        auto& file = Find<QLineEdit>(dialog, "logFileName");
        auto& browse = Find<QPushButton>(dialog, "browseButton");
        browse.click();
        EXPECT_EQ(Text(file), (dir_ / "capture.log").string()) << "a cancelled Browse";
        browse.click();
        EXPECT_EQ(Text(file), chosen);
        Find<QPushButton>(dialog, "okButton").click();
    });
    RunLoggingOptionsDialog(&parent_, *app_, messages_);
    EXPECT_EQ(app_->Parms().logFile, chosen);
    ASSERT_EQ(messages_.fileChoices.size(), 2u);
    const ui::FileChoice& choice = messages_.fileChoices.front();
    EXPECT_EQ(choice.mode, ui::FileChoiceMode::Open);
    EXPECT_FALSE(choice.mustExist);
    EXPECT_EQ(choice.initialPath, (dir_ / "capture.log").string()) << "starts at the current log";

    // Logging then creates the file chosen.
    app_->ToggleLogging();
    EXPECT_TRUE(app_->LoggingEnabled());
    EXPECT_TRUE(std::filesystem::exists(chosen));
}

}  // namespace
}  // namespace qorval::analyser::testing
