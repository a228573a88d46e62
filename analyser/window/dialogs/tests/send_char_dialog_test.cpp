// Send Character: each "&Send" puts the byte on the line and leaves the dialog open; a refused
// entry is said and the last byte taken goes out instead; a failure is said.
#include <gtest/gtest.h>

#include <QLineEdit>
#include <QPushButton>

#include "analyser/window/dialogs/analyser_dialogs.h"
#include "analyser/window/dialogs/tests/dialog_test_fixture.h"
#include "platform/window/testing/screenshot.h"

namespace qorval::analyser::testing {
namespace {

class SendCharDialogTest : public DialogTest {
  protected:
    void SetUp() override {
        DialogTest::SetUp();
        OpenPort();
        Fake().ClearCallLog();
    }
    // Types each entry and presses "&Send", then closes.
    void SendEach(std::vector<const char*> entries) {
        WhenDialog([entries](QDialog& dialog) {
            for (const char* entry : entries) {
                Find<QLineEdit>(dialog, "characterValue").setText(entry);
                Find<QPushButton>(dialog, "sendButton").click();
                EXPECT_TRUE(dialog.isVisible());
            }
            Find<QPushButton>(dialog, "closeButton").click();
        });
        RunTransmitCharDialog(&parent_, *app_, messages_);
    }
};

TEST_F(SendCharDialogTest, EachSendPutsTheByteOnTheLine) {
    WhenDialog([](QDialog& dialog) {
        EXPECT_EQ(dialog.windowTitle(), "Send Character");
        EXPECT_EQ(Text(Find<QLineEdit>(dialog, "characterValue")), "0");
        EXPECT_TRUE(ui::testing::SaveScreenshot(dialog, "lombex32-transmit-char"));
        Find<QPushButton>(dialog, "closeButton").click();
    });
    RunTransmitCharDialog(&parent_, *app_, messages_);
    EXPECT_TRUE(CallValues("QORVAL_TransmitCommChar").empty()) << "closing sends nothing";

    SendEach({"65", "255", "66"});
    EXPECT_EQ(CallValues("QORVAL_TransmitCommChar"), (std::vector<std::string>{"65", "255", "66"}));
    EXPECT_EQ(Sent(), (std::vector<std::string>{"A", "\xFF", "B"}));
    EXPECT_TRUE(messages_.shown.empty());
}

TEST_F(SendCharDialogTest, ARefusedEntryIsSaidAndTheLastByteTakenGoesOut) {
    SendEach({"256", "7", "x"});
    EXPECT_EQ(CallValues("QORVAL_TransmitCommChar"), (std::vector<std::string>{"0", "7", "7"}));
    EXPECT_EQ(messages_.Texts(),
              std::vector<std::string>(2, "Please enter an integer between 0 and 255."));
}

TEST_F(SendCharDialogTest, AFailureIsSaid) {
    Fake().FailNext("QORVAL_TransmitCommChar", QORVAL_GENERAL_ERROR);
    SendEach({"1"});
    EXPECT_EQ(ui_.LastMessage(), "Could not send the character to the driver!");
}

}  // namespace
}  // namespace qorval::analyser::testing
