// Send Options: the fields start from the settings and the run's macro switch; OK applies them
// through the engine (transmission stops, the macro is parsed when it is to run); Cancel
// changes nothing, except after a Browse that chose a file.
#include <gtest/gtest.h>

#include <QCheckBox>
#include <QLineEdit>
#include <QPushButton>

#include "analyser/window/dialogs/analyser_dialogs.h"
#include "analyser/window/dialogs/tests/dialog_test_fixture.h"
#include "platform/window/testing/screenshot.h"

namespace qorval::analyser::testing {
namespace {

class SendOptionsDialogTest : public DialogTest {
  protected:
    void SetUp() override {
        DialogTest::SetUp();
        macro_ = WriteFile("macro.txt", "L: GET 1\nSEND 1\nGOTO L\n").string();
        send_ = WriteFile("send.txt", "DATA\n").string();
        ParmsSettings& parms = app_->MutableParms();
        parms.macroFile = macro_;
        parms.sendFile = send_;
        parms.sendFirst = true;
        app_->ToggleTransmit();
        ASSERT_TRUE(app_->TransmitEnabled());
        ui_.user.statuses.clear();
    }

    SendOptions Settings() const {
        return {app_->Parms().macroFile, app_->MacroMode(), app_->Parms().sendFile,
                app_->Parms().sendFirst};
    }

    std::string macro_, send_;
};

TEST_F(SendOptionsDialogTest, ShowsTheSettingsAndOkAppliesTheControls) {
    const std::string otherSend = WriteFile("other.txt", "X\n").string();
    WhenDialog([&](QDialog& dialog) {
        EXPECT_EQ(dialog.windowTitle(), "Set Data Send Options");
        EXPECT_EQ(Text(Find<QLineEdit>(dialog, "macroFileName")), macro_);
        EXPECT_FALSE(Find<QCheckBox>(dialog, "executeMacro").isChecked());
        EXPECT_EQ(Text(Find<QLineEdit>(dialog, "sendFileName")), send_);
        EXPECT_TRUE(Find<QCheckBox>(dialog, "sendFirst").isChecked());
        EXPECT_EQ(Text(Find<QPushButton>(dialog, "macroBrowseButton")), "&Browse...");
        EXPECT_EQ(Text(Find<QPushButton>(dialog, "sendBrowseButton")), "B&rowse...");
        EXPECT_EQ(Text(Find<QCheckBox>(dialog, "executeMacro")), "&Execute Macro Program");
        EXPECT_EQ(Text(Find<QCheckBox>(dialog, "sendFirst")), "&Send first data block");
        Find<QLineEdit>(dialog, "sendFileName").setText(QString::fromStdString(otherSend));
        Find<QCheckBox>(dialog, "sendFirst").setChecked(false);
        Find<QPushButton>(dialog, "okButton").click();
    });
    RunSendOptionsDialog(&parent_, *app_, messages_);
    EXPECT_EQ(Settings(), (SendOptions{macro_, false, otherSend, false}));
    EXPECT_FALSE(app_->TransmitEnabled());
    EXPECT_FALSE(ui_.menu.transmitting);
    EXPECT_EQ(ui_.LastStatus(), "Send Options changed. Transmission stopped.");
}

TEST_F(SendOptionsDialogTest, ExecutingTheMacroParsesItOrSaysItFailed) {
    auto runWithMacro = [&](const std::string& file) {
        WhenDialog([&](QDialog& dialog) {
            Find<QLineEdit>(dialog, "macroFileName").setText(QString::fromStdString(file));
            Find<QCheckBox>(dialog, "executeMacro").setChecked(true);
            Find<QPushButton>(dialog, "okButton").click();
        });
        RunSendOptionsDialog(&parent_, *app_, messages_);
    };
    runWithMacro(macro_);
    EXPECT_TRUE(app_->MacroMode());
    ASSERT_EQ(app_->Steps().size(), 4u);  // and the STOP the parser ends every macro with
    EXPECT_EQ(app_->Steps()[0].opcode, kOpGet);
    EXPECT_EQ(ui_.LastStatus(), "Send Options changed. Transmission stopped.");

    runWithMacro(WriteFile("bad.txt", "NOSUCH 1\n").string());
    EXPECT_FALSE(app_->MacroMode());
    EXPECT_EQ(ui_.LastStatus(), "Macro program parsing failed. Transmission stopped.");
    EXPECT_FALSE(ui_.user.shown.empty()) << "the parser's diagnostic is shown";
}

TEST_F(SendOptionsDialogTest, PlainCancelChangesNothing) {
    const SendOptions before = Settings();
    messages_.ChooseNext(std::nullopt);  // a Browse that is itself cancelled counts for nothing
    WhenDialog([](QDialog& dialog) {
        Find<QPushButton>(dialog, "sendBrowseButton").click();
        Find<QCheckBox>(dialog, "executeMacro").setChecked(true);
        Find<QPushButton>(dialog, "cancelButton").click();
    });
    RunSendOptionsDialog(&parent_, *app_, messages_);
    EXPECT_EQ(Settings(), before);
    EXPECT_TRUE(app_->TransmitEnabled());
    EXPECT_TRUE(ui_.user.statuses.empty());
}

TEST_F(SendOptionsDialogTest, CancelAfterABrowseAppliesTheBrowsedNameWithTheOpeningValues) {
    const std::string browsed = WriteFile("browsed.txt", "Y\n").string();
    messages_.ChooseNext(browsed);
    WhenDialog([&](QDialog& dialog) {
        Find<QLineEdit>(dialog, "macroFileName").setText("typed-but-cancelled.txt");
        Find<QCheckBox>(dialog, "sendFirst").setChecked(false);
        Find<QPushButton>(dialog, "sendBrowseButton").click();
        EXPECT_EQ(Text(Find<QLineEdit>(dialog, "sendFileName")), browsed);
        Find<QPushButton>(dialog, "cancelButton").click();
    });
    RunSendOptionsDialog(&parent_, *app_, messages_);
    EXPECT_EQ(Settings(), (SendOptions{macro_, false, browsed, true}));
    EXPECT_FALSE(app_->TransmitEnabled()) << "applied as an accepted dialog";
    EXPECT_EQ(ui_.LastStatus(), "Send Options changed. Transmission stopped.");

    ASSERT_EQ(messages_.fileChoices.size(), 1u);
    EXPECT_EQ(messages_.fileChoices[0].initialPath, send_);
    EXPECT_TRUE(messages_.fileChoices[0].mustExist) << "a send file is read";
}

TEST_F(SendOptionsDialogTest, BothBrowsesThenOkTakeWhatTheControlsShow) {
    const std::string macro = WriteFile("m2.txt", "STOP\n").string();
    const std::string send = WriteFile("s2.txt", "Z\n").string();
    messages_.ChooseNext(macro);
    messages_.ChooseNext(send);
    WhenDialog([&](QDialog& dialog) {
        Find<QPushButton>(dialog, "macroBrowseButton").click();
        Find<QPushButton>(dialog, "sendBrowseButton").click();
        Find<QCheckBox>(dialog, "executeMacro").setChecked(true);
        Find<QLineEdit>(dialog, "macroFileName").setText("macfile.txt");
        Find<QLineEdit>(dialog, "sendFileName").setText("sendfile.txt");
        EXPECT_TRUE(ui::testing::SaveScreenshot(dialog, "lombex32-send-options"));
        Find<QLineEdit>(dialog, "macroFileName").setText(QString::fromStdString(macro));
        Find<QLineEdit>(dialog, "sendFileName").setText(QString::fromStdString(send));
        Find<QPushButton>(dialog, "okButton").click();
    });
    RunSendOptionsDialog(&parent_, *app_, messages_);
    EXPECT_EQ(Settings(), (SendOptions{macro, true, send, true}));
    ASSERT_FALSE(app_->Steps().empty());
    EXPECT_EQ(app_->Steps()[0].opcode, kOpStop) << "the browsed macro was parsed";
    ASSERT_EQ(messages_.fileChoices.size(), 2u);
    EXPECT_EQ(messages_.fileChoices[0].initialPath, macro_);
}

}  // namespace
}  // namespace qorval::analyser::testing
