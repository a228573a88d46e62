// Modem Controls: the boxes show the word read as the dialog opens and on "&Get"; "&Set" sends
// all eight boxes; the dialog stays open until "&Close"; failures are said.
#include <gtest/gtest.h>

#include <QCheckBox>
#include <QPushButton>

#include "analyser/window/dialogs/analyser_dialogs.h"
#include "analyser/window/dialogs/tests/dialog_test_fixture.h"
#include "platform/window/testing/screenshot.h"

namespace qorval::analyser::testing {
namespace {

constexpr const char* kBoxes[] = {"dtrOn", "rtsOn", "llOn",  "rlOn",
                                  "dsrOn", "dcdOn", "ctsOn", "riOn"};

class ModemControlDialogTest : public DialogTest {
  protected:
    void SetUp() override {
        DialogTest::SetUp();
        OpenPort();
        ASSERT_EQ(QORVAL_SetModemControl(app_->PortHandle(), QORVAL_MODEM_RTS), QORVAL_OK);
        Fake().SetModemInputs(kDriver, 1, QORVAL_MODEM_DSR | QORVAL_MODEM_CTS);
        Fake().ClearCallLog();
    }
};

// The word the boxes show.
uint16_t Shown(QDialog& dialog) {
    uint16_t word = 0;
    for (int i = 0; i < 8; ++i) {
        word |= Find<QCheckBox>(dialog, kBoxes[i]).isChecked() ? (1u << i) : 0u;
    }
    return word;
}

TEST_F(ModemControlDialogTest, OpensOnThePortsLinesWithTheInputsShownOnly) {
    WhenDialog([](QDialog& dialog) {
        EXPECT_EQ(dialog.windowTitle(), "Modem Controls");
        EXPECT_EQ(Shown(dialog), QORVAL_MODEM_RTS | QORVAL_MODEM_DSR | QORVAL_MODEM_CTS);
        const char* captions[] = {"DTR On", "RTS On", "LL On",  "RL On",
                                  "DSR On", "DCD On", "CTS On", "RI On"};
        for (int i = 0; i < 8; ++i) {
            auto& box = Find<QCheckBox>(dialog, kBoxes[i]);
            EXPECT_EQ(Text(box), captions[i]);
            EXPECT_EQ(box.isEnabled(), i < 4) << kBoxes[i];
        }
        EXPECT_TRUE(ui::testing::SaveScreenshot(dialog, "lombex32-modem-control"));
        Find<QPushButton>(dialog, "closeButton").click();
    });
    RunModemControlDialog(&parent_, *app_, messages_);
    EXPECT_TRUE(CallValues("QORVAL_SetModemControl").empty()) << "closing sends nothing";
}

TEST_F(ModemControlDialogTest, SetSendsEveryBoxWithTheInputsAsShownAndStaysOpen) {
    WhenDialog([](QDialog& dialog) {
        Find<QCheckBox>(dialog, "dtrOn").setChecked(true);
        Find<QCheckBox>(dialog, "rtsOn").setChecked(false);
        Find<QCheckBox>(dialog, "llOn").setChecked(true);
        Find<QPushButton>(dialog, "setButton").click();
        EXPECT_TRUE(dialog.isVisible());
        Find<QCheckBox>(dialog, "llOn").setChecked(false);
        Find<QPushButton>(dialog, "setButton").click();
        Find<QPushButton>(dialog, "closeButton").click();
    });
    RunModemControlDialog(&parent_, *app_, messages_);
    // DTR + LL + the DSR and CTS shown: 0x55; then without LL: 0x51.
    EXPECT_EQ(CallValues("QORVAL_SetModemControl"), (std::vector<std::string>{"85", "81"}));
    EXPECT_TRUE(ui_.user.shown.empty()) << "nothing is said on success";
    uint16_t word = 0;
    ASSERT_EQ(QORVAL_GetModemControl(app_->PortHandle(), &word), QORVAL_OK);
    EXPECT_EQ(word & (QORVAL_MODEM_DTR | QORVAL_MODEM_RTS), QORVAL_MODEM_DTR);
}

TEST_F(ModemControlDialogTest, GetShowsTheLinesAsTheyAreNow) {
    WhenDialog([](QDialog& dialog) {
        Fake().SetModemInputs(kDriver, 1, QORVAL_MODEM_DCD | QORVAL_MODEM_RI);
        Find<QCheckBox>(dialog, "dtrOn").setChecked(true);  // not sent: Get shows the port
        Find<QPushButton>(dialog, "getButton").click();
        EXPECT_EQ(Shown(dialog), QORVAL_MODEM_RTS | QORVAL_MODEM_DCD | QORVAL_MODEM_RI);
        Find<QPushButton>(dialog, "closeButton").click();
    });
    RunModemControlDialog(&parent_, *app_, messages_);
}

TEST_F(ModemControlDialogTest, FailuresAreSaidAndTheDialogStaysUsable) {
    Fake().FailNext("QORVAL_GetModemControl", QORVAL_GENERAL_ERROR);
    WhenDialog([this](QDialog& dialog) {
        EXPECT_EQ(Shown(dialog), 0) << "nothing read, nothing shown";
        Fake().FailNext("QORVAL_SetModemControl", QORVAL_GENERAL_ERROR);
        Find<QPushButton>(dialog, "setButton").click();
        EXPECT_EQ(ui_.LastMessage(), "Could not set the modem control states!");
        Find<QPushButton>(dialog, "getButton").click();
        EXPECT_EQ(Shown(dialog), QORVAL_MODEM_RTS | QORVAL_MODEM_DSR | QORVAL_MODEM_CTS);
        Find<QPushButton>(dialog, "closeButton").click();
    });
    RunModemControlDialog(&parent_, *app_, messages_);
    ASSERT_FALSE(ui_.user.shown.empty());
    EXPECT_EQ(ui_.user.Texts().front(), "Could not retrieve modem control states!");
}

}  // namespace
}  // namespace qorval::analyser::testing
