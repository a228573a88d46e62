// Device Info: every field read from the port in its format, the port state's fields empty
// when it cannot be read, no dialog without the port's information.
#include <gtest/gtest.h>

#include <QLabel>
#include <QPushButton>

#include "analyser/window/dialogs/analyser_dialogs.h"
#include "analyser/window/dialogs/tests/dialog_test_fixture.h"
#include "platform/window/testing/screenshot.h"

namespace qorval::analyser::testing {
namespace {

using DeviceInfoDialogTest = DialogTest;

std::string Value(QDialog& dialog, const char* name) {
    return Text(Find<QLabel>(dialog, name));
}

TEST_F(DeviceInfoDialogTest, ShowsThePortsInformationAndCountersInTheirFormats) {
    OpenPort();
    Queue("first");
    Queue("bad", QORVAL_CRC_ERROR);
    const auto frame = Bytes("out");
    ASSERT_EQ(QORVAL_PutData(app_->PortHandle(), frame.data(), 3), QORVAL_OK);
    app_->MutablePortInfo() = PortInfo{};  // refreshed by the command
    WhenDialog([](QDialog& dialog) {
        EXPECT_EQ(dialog.windowTitle(), "Driver Device Information");
        EXPECT_EQ(Value(dialog, "txFrames"), "         1");
        EXPECT_EQ(Value(dialog, "rxFrames"), "         2");
        EXPECT_EQ(Value(dialog, "crcErrors"), "         1");
        EXPECT_EQ(Value(dialog, "status"), "00000000");
        EXPECT_EQ(Value(dialog, "txFrameSize"), " 1024");
        EXPECT_EQ(Value(dialog, "totalRxFrames"), "  100");
        EXPECT_EQ(Value(dialog, "txDMAChannel"), "65535");
        EXPECT_EQ(Value(dialog, "hardwareIRQ"), "   11");
        EXPECT_EQ(Value(dialog, "baseIOAddr"), "E000");
        EXPECT_EQ(Value(dialog, "memoryBase"), "FEB0");
        EXPECT_EQ(Value(dialog, "card"), "NONE");
        EXPECT_EQ(Value(dialog, "channel"), "A");
        EXPECT_EQ(Value(dialog, "crcMode"), "CCITT");
        EXPECT_EQ(Value(dialog, "oscillator").size(), 10u) << "\"%10s\"";
        EXPECT_TRUE(ui::testing::SaveScreenshot(dialog, "lombex32-device-info"));
        Find<QPushButton>(dialog, "okButton").click();
    });
    RunDeviceInfoDialog(&parent_, *app_, messages_);
    EXPECT_EQ(app_->GetPortInfoRecord().maxTxFrame, 1024);
    EXPECT_TRUE(ui_.user.shown.empty());
}

TEST_F(DeviceInfoDialogTest, WithoutThePortStateItsFieldsStayEmpty) {
    OpenPort();
    Fake().FailNext("QORVAL_GetPortState", QORVAL_GENERAL_ERROR);
    WhenDialog([](QDialog& dialog) {
        EXPECT_EQ(Value(dialog, "txFrames"), "");
        EXPECT_EQ(Value(dialog, "options"), "");
        EXPECT_EQ(Value(dialog, "rxFrameSize"), " 1024");
        Find<QPushButton>(dialog, "okButton").click();
    });
    RunDeviceInfoDialog(&parent_, *app_, messages_);
    EXPECT_EQ(ui_.user.Texts(), std::vector<std::string>{"Could not retrieve port state!"});
}

TEST_F(DeviceInfoDialogTest, NoDialogWithoutThePortsInformation) {
    OpenPort();
    NoDialogGuard guard;
    Fake().FailNext("QORVAL_GetPortInfo", QORVAL_GENERAL_ERROR);
    RunDeviceInfoDialog(&parent_, *app_, messages_);
    EXPECT_EQ(ui_.LastMessage(), "Could not retrieve device information!");
    EXPECT_EQ(guard.Closed(), 0);
}

}  // namespace
}  // namespace qorval::analyser::testing
