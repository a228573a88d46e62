// Port State: the controls show the record as read; "&Set" writes them into that record and
// sends it whole, also after a refused entry; "&Get" reads again; failures are said.
#include <gtest/gtest.h>

#include <QCheckBox>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <cstring>

#include "analyser/window/dialogs/analyser_dialogs.h"
#include "analyser/window/dialogs/tests/dialog_test_fixture.h"
#include "platform/window/testing/screenshot.h"

namespace qorval::analyser::testing {
namespace {

bool SameBytes(const PortState& a, const PortState& b) {
    return std::memcmp(&a, &b, sizeof a) == 0;
}

class PortStateDialogTest : public DialogTest {
  protected:
    void SetUp() override {
        DialogTest::SetUp();
        OpenPort();
        std::memset(record_.reserved0, 0xA5, sizeof record_.reserved0);
        record_.rxTimeout = 1000;
        record_.txTimeout = 4294967295u;
        record_.blockRead = 1;
        record_.divisor = 65535;
        record_.clockMultiplier = 16;
        record_.dataBits = 8;
        record_.stopBits = 1;
        record_.parity = 3;  // EVEN
        record_.nodeAddress = 0x7E;
        record_.dpll = 2;
        record_.txClock = 2;    // BRG
        record_.rxClock = 3;    // DPLL
        record_.brgSource = 1;  // RTXC
        record_.loopback = 1;
        record_.txFrames = 12345;
        record_.status = 0xBEEF;
        Fake().SetPortState(kDriver, 1, record_);
    }

    PortState Sent() const {
        const std::optional<PortState> sent = Fake().LastPortStateWritten(kDriver, 1);
        EXPECT_TRUE(sent.has_value()) << "no record was sent";
        return sent.value_or(PortState{});
    }

    static QLineEdit& Edit(QDialog& dialog, const char* name) {
        return Find<QLineEdit>(dialog, name);
    }
    static bool Checked(QDialog& dialog, const char* name) {
        return Find<QAbstractButton>(dialog, name).isChecked();
    }
    static void Click(QDialog& dialog, const char* name) {
        Find<QAbstractButton>(dialog, name).click();
    }

    PortState record_{};
};

TEST_F(PortStateDialogTest, ShowsTheRecordAsRead) {
    WhenDialog([](QDialog& dialog) {
        EXPECT_EQ(dialog.windowTitle(), "Port State");
        EXPECT_EQ(Text(Edit(dialog, "rxTimeout")), "1000");
        EXPECT_EQ(Text(Edit(dialog, "txTimeout")), "4294967295");
        EXPECT_EQ(Text(Edit(dialog, "divisor")), "65535");
        EXPECT_EQ(Text(Edit(dialog, "clockMultiplier")), "16");
        EXPECT_EQ(Text(Edit(dialog, "dataBits")), "8");
        EXPECT_EQ(Text(Edit(dialog, "stopBits")), "1");
        EXPECT_TRUE(Checked(dialog, "txClockBRG"));
        EXPECT_TRUE(Checked(dialog, "rxClockDPLL"));
        EXPECT_TRUE(Checked(dialog, "parityEVEN"));
        EXPECT_TRUE(Checked(dialog, "brgSourceRTXC"));
        EXPECT_TRUE(Checked(dialog, "loopback"));
        EXPECT_FALSE(Checked(dialog, "rs485"));
        EXPECT_TRUE(Checked(dialog, "blockRead"));
        EXPECT_FALSE(Checked(dialog, "blockWrite"));
        EXPECT_FALSE(Find<QCheckBox>(dialog, "blockRead").isEnabled()) << "shown only";
        EXPECT_TRUE(ui::testing::SaveScreenshot(dialog, "lombex32-port-state"));
        Click(dialog, "closeButton");
    });
    RunPortStateDialog(&parent_, *app_, messages_);
    EXPECT_FALSE(Fake().LastPortStateWritten(kDriver, 1).has_value()) << "closing sends nothing";
    EXPECT_TRUE(ui_.user.shown.empty()) << "opening reads without announcing it";
}

TEST_F(PortStateDialogTest, SetWritesTheControlsIntoTheRecordAndSendsTheRestUnchanged) {
    WhenDialog([](QDialog& dialog) {
        Edit(dialog, "divisor").setText("100");
        Edit(dialog, "rxTimeout").setText("0");
        Click(dialog, "txClockTXC");
        Click(dialog, "parityODD");
        Click(dialog, "loopback");
        Click(dialog, "rs485");
        Click(dialog, "setButton");
        EXPECT_TRUE(dialog.isVisible());
        Click(dialog, "closeButton");
    });
    RunPortStateDialog(&parent_, *app_, messages_);
    PortState expected = record_;
    expected.divisor = 100;
    expected.rxTimeout = 0;
    expected.txClock = 1;
    expected.parity = 1;
    expected.loopback = 0;
    expected.rs485 = 1;
    EXPECT_TRUE(SameBytes(Sent(), expected));
    EXPECT_EQ(ui_.user.Texts(), std::vector<std::string>{"Operation completed successfully!"});
}

TEST_F(PortStateDialogTest, AParityTheGroupDoesNotNameShowsNoneAndIsWrittenAsNone) {
    record_.parity = 2;
    Fake().SetPortState(kDriver, 1, record_);
    WhenDialog([](QDialog& dialog) {
        EXPECT_TRUE(Checked(dialog, "parityNONE"));
        Click(dialog, "setButton");
        Click(dialog, "closeButton");
    });
    RunPortStateDialog(&parent_, *app_, messages_);
    EXPECT_EQ(Sent().parity, 0);
}

TEST_F(PortStateDialogTest, ARefusedEntryIsSaidAndTheRecordGoesOutWithItAndTheLaterOnesAsRead) {
    WhenDialog([](QDialog& dialog) {
        Edit(dialog, "divisor").setText("200");
        Edit(dialog, "clockMultiplier").setText("256");
        Edit(dialog, "dataBits").setText("7");
        Click(dialog, "txClockRXC");
        Click(dialog, "setButton");
        Click(dialog, "closeButton");
    });
    RunPortStateDialog(&parent_, *app_, messages_);
    ASSERT_EQ(messages_.shown.size(), 1u);
    EXPECT_EQ(messages_.shown[0].text, "Please enter an integer between 0 and 255.");
    PortState expected = record_;
    expected.divisor = 200;  // taken before the refused entry
    EXPECT_TRUE(SameBytes(Sent(), expected));
    EXPECT_EQ(ui_.LastMessage(), "Operation completed successfully!");
}

TEST_F(PortStateDialogTest, TheRefusalNamesEachEditsRange) {
    const std::pair<const char*, const char*> cases[] = {
        {"txTimeout", "Please enter an integer between 0 and 4294967295."},
        {"divisor", "Please enter an integer between 0 and 65535."},
        {"stopBits", "Please enter an integer between 0 and 255."},
    };
    WhenDialog([&](QDialog& dialog) {
        for (const auto& [edit, text] : cases) {
            Edit(dialog, edit).setText("-1");
            Click(dialog, "setButton");
            Edit(dialog, edit).setText("1");
        }
        Click(dialog, "closeButton");
    });
    RunPortStateDialog(&parent_, *app_, messages_);
    std::vector<std::string> expected;
    for (const auto& [edit, text] : cases) {
        expected.emplace_back(text);
    }
    EXPECT_EQ(messages_.Texts(), expected);
}

TEST_F(PortStateDialogTest, GetReadsAgainAndSaysSo) {
    WhenDialog([this](QDialog& dialog) {
        record_.divisor = 7;
        record_.brgSource = 0;
        Fake().SetPortState(kDriver, 1, record_);
        Edit(dialog, "divisor").setText("999");
        Click(dialog, "getButton");
        EXPECT_EQ(Text(Edit(dialog, "divisor")), "7");
        EXPECT_TRUE(Checked(dialog, "brgSourcePCLK"));
        EXPECT_FALSE(Checked(dialog, "brgSourceRTXC"));
        Click(dialog, "closeButton");
    });
    RunPortStateDialog(&parent_, *app_, messages_);
    EXPECT_EQ(ui_.user.Texts(), std::vector<std::string>{"Operation completed successfully!"});
}

TEST_F(PortStateDialogTest, UnreadAtOpeningNothingIsSelectedAndSetNeverSendsZeros) {
    Fake().FailNext("QORVAL_GetPortState", QORVAL_GENERAL_ERROR);
    WhenDialog([](QDialog& dialog) {
        for (const char* radio :
             {"txClockRXC", "txClockTXC", "txClockBRG", "txClockDPLL", "rxClockRXC", "parityNONE",
              "parityEVEN", "parityODD", "brgSourcePCLK", "brgSourceRTXC"}) {
            EXPECT_FALSE(Checked(dialog, radio)) << radio;
        }
        EXPECT_EQ(Text(Edit(dialog, "rxTimeout")), "");
        Click(dialog, "setButton");
        Click(dialog, "closeButton");
    });
    RunPortStateDialog(&parent_, *app_, messages_);
    EXPECT_EQ(ui_.user.Texts().front(), "Could not retrieve port state!");
    // "&Set" read the record first; the first empty edit was refused, so nothing after it was
    // taken and the record went back exactly as read.
    EXPECT_TRUE(SameBytes(Sent(), record_));
    EXPECT_EQ(messages_.LastText(), "Please enter an integer between 0 and 4294967295.");
}

TEST_F(PortStateDialogTest, ASetThatFailsIsSaid) {
    WhenDialog([](QDialog& dialog) {
        Fake().FailNext("QORVAL_SetPortState", QORVAL_GENERAL_ERROR);
        Click(dialog, "setButton");
        Click(dialog, "closeButton");
    });
    RunPortStateDialog(&parent_, *app_, messages_);
    EXPECT_EQ(ui_.LastMessage(), "Could not set the port state!");
}

}  // namespace
}  // namespace qorval::analyser::testing
