// Set Node Address and Reset Buffers: what OK sends to the port, what Cancel and refused
// entries leave alone, and the messages for either result.
#include <gtest/gtest.h>

#include <QCheckBox>
#include <QLineEdit>
#include <QPushButton>

#include "analyser/window/dialogs/analyser_dialogs.h"
#include "analyser/window/dialogs/tests/dialog_test_fixture.h"
#include "platform/window/testing/screenshot.h"

namespace qorval::analyser::testing {
namespace {

class NodeAddressDialogTest : public DialogTest {
  protected:
    void SetUp() override {
        DialogTest::SetUp();
        OpenPort();
        app_->MutableParms().node = 17;
        Fake().ClearCallLog();
    }
};

void EnterAndPressOk(const char* text) {
    WhenDialog([text](QDialog& dialog) {
        Find<QLineEdit>(dialog, "nodeAddress").setText(text);
        Find<QPushButton>(dialog, "okButton").click();
        if (dialog.isVisible()) {  // refused: the test's own cancel ends it
            Find<QPushButton>(dialog, "cancelButton").click();
        }
    });
}

TEST_F(NodeAddressDialogTest, StartsAtTheSettingAndOkSetsTheSettingAndThePort) {
    WhenDialog([](QDialog& dialog) {
        EXPECT_EQ(dialog.windowTitle(), "Set Node Address");
        EXPECT_EQ(Text(Find<QLineEdit>(dialog, "nodeAddress")), "17");
        EXPECT_TRUE(ui::testing::SaveScreenshot(dialog, "lombex32-node-address"));
        Find<QLineEdit>(dialog, "nodeAddress").setText("255");
        Find<QPushButton>(dialog, "okButton").click();
    });
    RunNodeAddressDialog(&parent_, *app_, messages_);
    EXPECT_EQ(app_->Parms().node, 255);
    EXPECT_EQ(CallValues("QORVAL_SetNodeAddress"), std::vector<std::string>{"255"});
    EXPECT_EQ(ui_.LastStatus(), "Node address changed.");
    EXPECT_TRUE(messages_.shown.empty());
}

TEST_F(NodeAddressDialogTest, AnEntryThatIsNotAByteIsRefusedAndTheDialogStaysOpen) {
    for (const char* entry : {"256", "-1", "12x", ""}) {
        messages_.shown.clear();
        bool stayedOpen = false;
        WhenDialog([&](QDialog& dialog) {
            auto& edit = Find<QLineEdit>(dialog, "nodeAddress");
            edit.setText(entry);
            Find<QPushButton>(dialog, "okButton").click();
            stayedOpen = dialog.isVisible();
            EXPECT_EQ(edit.selectedText(), edit.text()) << "ready to be typed over";
            Find<QPushButton>(dialog, "cancelButton").click();
        });
        RunNodeAddressDialog(&parent_, *app_, messages_);
        EXPECT_TRUE(stayedOpen) << entry;
        ASSERT_EQ(messages_.shown.size(), 1u) << entry;
        EXPECT_EQ(messages_.shown[0].text, "Please enter an integer between 0 and 255.");
        EXPECT_EQ(messages_.shown[0].caption, "Lombex for NT");
    }
    EXPECT_EQ(app_->Parms().node, 17);
    EXPECT_TRUE(CallValues("QORVAL_SetNodeAddress").empty());
}

TEST_F(NodeAddressDialogTest, ARefusalThenAByteSendsTheByte) {
    WhenDialog([](QDialog& dialog) {
        auto& edit = Find<QLineEdit>(dialog, "nodeAddress");
        edit.setText("300");
        Find<QPushButton>(dialog, "okButton").click();
        edit.setText(" 0 ");
        Find<QPushButton>(dialog, "okButton").click();
    });
    RunNodeAddressDialog(&parent_, *app_, messages_);
    EXPECT_EQ(CallValues("QORVAL_SetNodeAddress"), std::vector<std::string>{"0"});
    EXPECT_EQ(app_->Parms().node, 0);
}

TEST_F(NodeAddressDialogTest, CancelSendsNothingAndAFailureStillKeepsTheSetting) {
    WhenDialog([](QDialog& dialog) {
        Find<QLineEdit>(dialog, "nodeAddress").setText("5");
        Find<QPushButton>(dialog, "cancelButton").click();
    });
    RunNodeAddressDialog(&parent_, *app_, messages_);
    EXPECT_EQ(app_->Parms().node, 17);
    EXPECT_TRUE(CallValues("QORVAL_SetNodeAddress").empty());

    Fake().FailNext("QORVAL_SetNodeAddress", QORVAL_GENERAL_ERROR);
    EnterAndPressOk("9");
    RunNodeAddressDialog(&parent_, *app_, messages_);
    EXPECT_EQ(app_->Parms().node, 9);
    EXPECT_EQ(ui_.LastMessage(), "Setting of node address failed!");
}

class ResetBuffersDialogTest : public DialogTest {
  protected:
    void SetUp() override {
        DialogTest::SetUp();
        OpenPort();
        Fake().ClearCallLog();
    }
    void Reset(bool transmit, bool receive, const char* button = "okButton") {
        WhenDialog([=](QDialog& dialog) {
            auto& tx = Find<QCheckBox>(dialog, "transmitBuffers");
            auto& rx = Find<QCheckBox>(dialog, "receiveBuffers");
            EXPECT_FALSE(tx.isChecked() || rx.isChecked()) << "both clear as it opens";
            tx.setChecked(transmit);
            rx.setChecked(receive);
            Find<QPushButton>(dialog, button).click();
        });
        RunResetBuffersDialog(&parent_, *app_, messages_);
    }
};

TEST_F(ResetBuffersDialogTest, OkSendsTheMaskOfTheTickedBoxes) {
    Reset(true, false);
    Reset(false, true);
    Reset(true, true);
    EXPECT_EQ(CallValues("QORVAL_ResetBuffers"), (std::vector<std::string>{"2", "1", "3"}));
    EXPECT_EQ(ui_.user.statuses, std::vector<std::string>(3, "Buffers reset sucessfully!"));
}

TEST_F(ResetBuffersDialogTest, NoBoxOrCancelCallsNothingAndShowsNothing) {
    Reset(false, false);
    Reset(true, true, "cancelButton");
    EXPECT_TRUE(CallValues("QORVAL_ResetBuffers").empty());
    EXPECT_TRUE(ui_.user.statuses.empty());
    EXPECT_TRUE(ui_.user.shown.empty());
}

TEST_F(ResetBuffersDialogTest, AFailureIsSaidInTheStatusBar) {
    Fake().FailNext("QORVAL_ResetBuffers", QORVAL_GENERAL_ERROR);
    WhenDialog([](QDialog& dialog) {
        EXPECT_EQ(dialog.windowTitle(), "Reset Buffers");
        Find<QCheckBox>(dialog, "receiveBuffers").setChecked(true);
        EXPECT_TRUE(ui::testing::SaveScreenshot(dialog, "lombex32-reset-buffers"));
        Find<QPushButton>(dialog, "okButton").click();
    });
    RunResetBuffersDialog(&parent_, *app_, messages_);
    EXPECT_EQ(ui_.LastStatus(), "Buffer Reset FAILED!");
}

}  // namespace
}  // namespace qorval::analyser::testing
