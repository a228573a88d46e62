// The dialogs' work on ports, through the fake port access library: the lists and the probe of
// "Open Port", and what "Port Information" reads and writes.

#include <gtest/gtest.h>

#include <cstring>

#include "dialogs/open_port_model.h"
#include "dialogs/port_state_form.h"
#include "dialogs/tests/adapter_records.h"
#include "platform/testing/recording_user_messages.h"
#include "portaccess/fake/fake_library.h"
#include "portaccess/qorval_port.h"

namespace qorval::dialogs {
namespace {

using fake::FakeLibrary;
using ui::testing::RecordingUserMessages;

constexpr uint16_t kWyvel = QORVAL_DRIVER_WYVEL32;

class OpenPortModelTest : public ::testing::Test {
  protected:
    void SetUp() override {
        fake.Reset();
        fake.AddPort({.port = 2});
        fake.AddPort({.port = 1});
    }
    FakeLibrary& fake = FakeLibrary::Instance();
    OpenPortModel model;
    RecordingUserMessages user;
};

TEST_F(OpenPortModelTest, ListsThePresentDriverAndPortsAndProbesTheFirstPort) {
    ASSERT_EQ(model.Load(), QORVAL_OK);
    EXPECT_EQ(model.Drivers(), std::vector<std::string>{"WYVEL32"});
    EXPECT_EQ(model.Ports(), (std::vector<std::string>{"Port001", "Port002"}));
    EXPECT_EQ(model.SelectedDriver(), 0);
    EXPECT_EQ(model.SelectedPort(), 0);
    EXPECT_EQ(model.Info(), (PortInfoTexts{"Rowan", "E000", "A", "Yes"}));
    EXPECT_TRUE(model.OpenEnabled());
    EXPECT_EQ(model.DriverType(), kWyvel) << "the library's capital name is the adapter driver";

    model.SelectPort(1);
    EXPECT_EQ(model.Info(), (PortInfoTexts{"Rowan", "E020", "B", "Yes"}));
    EXPECT_EQ(model.PortNumber(), 2);
    Qorval_Port afterwards(kWyvel, 2);
    EXPECT_EQ(afterwards.Open(), QORVAL_OK) << "the probe closes the port it opened";
}

TEST_F(OpenPortModelTest, SortsTheDriversAndListsThePortsOfTheSelectedOne) {
    fake.AddPort({.driver_type = QORVAL_DRIVER_FENDAR5, .port = 3});
    ASSERT_EQ(model.Load(), QORVAL_OK);
    EXPECT_EQ(model.Drivers(), (std::vector<std::string>{"FENDAR5", "WYVEL32"}));
    EXPECT_EQ(model.Ports(), std::vector<std::string>{"Port003"});
    EXPECT_EQ(model.DriverType(), QORVAL_DRIVER_FENDAR5);
    EXPECT_EQ(model.PortNumber(), 3);
    model.SelectDriver(1);
    EXPECT_EQ(model.Ports(), (std::vector<std::string>{"Port001", "Port002"}));
    EXPECT_EQ(model.DriverType(), kWyvel);
}

// The count says how many drivers there are, the present flags which: the adapter driver's
// entry is the fourth, whatever the count.
TEST_F(OpenPortModelTest, ListsEveryPresentEntryWhateverTheDriverCount) {
    fake.SetReportedDriverCount(1);
    ASSERT_EQ(model.Load(), QORVAL_OK);
    EXPECT_EQ(model.Drivers(), std::vector<std::string>{"WYVEL32"});
    EXPECT_EQ(model.Ports(), (std::vector<std::string>{"Port001", "Port002"}));
    EXPECT_TRUE(model.OpenEnabled());

    fake.SetReportedDriverCount(0);
    ASSERT_EQ(model.Load(), QORVAL_OK);
    EXPECT_TRUE(model.Drivers().empty()) << "a count of 0 lists nothing";
    EXPECT_FALSE(model.OpenEnabled());
}

TEST_F(OpenPortModelTest, APortThatCannotBeOpenedShowsUnknownTextsAndCannotBeChosen) {
    Qorval_Port holder(kWyvel, 1);
    ASSERT_EQ(holder.Open(), QORVAL_OK);
    ASSERT_EQ(model.Load(), QORVAL_OK);
    EXPECT_EQ(model.Info(), (PortInfoTexts{"????", "????", "????", "No"}));
    EXPECT_FALSE(model.OpenEnabled());
    EXPECT_FALSE(model.Open(user));
    EXPECT_EQ(user.Texts(), std::vector<std::string>{"Port is not available."});
    EXPECT_EQ(user.shown[0].caption, "Error");
    EXPECT_EQ(user.shown[0].icon, ui::MessageIcon::Warning);
}

TEST_F(OpenPortModelTest, OpenTriesThePortAgainAndLeavesItClosed) {
    ASSERT_EQ(model.Load(), QORVAL_OK);
    Qorval_Port other(kWyvel, 1);
    ASSERT_EQ(other.Open(), QORVAL_OK);  // taken after the probe said "Yes"
    EXPECT_FALSE(model.Open(user));
    EXPECT_EQ(user.LastText(), "Port is not available.");
    other.Close();
    EXPECT_TRUE(model.Open(user));
    EXPECT_EQ(user.shown.size(), 1u);
    EXPECT_EQ(other.Open(), QORVAL_OK);
}

TEST_F(OpenPortModelTest, NamesTheCardOfTheProbedPortFromTheDialogsTable) {
    PortInfo maple{};
    maple.cardType = 9;
    maple.ioBase = 0x238;
    maple.channel = 5;
    fake.SetPortInfo(kWyvel, 1, maple);
    ASSERT_EQ(model.Load(), QORVAL_OK);
    EXPECT_EQ(model.Info(), (PortInfoTexts{"????", "238", "?", "Yes"}));
    EXPECT_TRUE(model.OpenEnabled());
}

TEST_F(OpenPortModelTest, WithoutDriversOrSystemInformationTheListsStayEmpty) {
    fake.Reset();
    ASSERT_EQ(model.Load(), QORVAL_OK);
    EXPECT_TRUE(model.Drivers().empty());
    EXPECT_TRUE(model.Ports().empty());
    EXPECT_EQ(model.Info(), PortInfoTexts{});
    EXPECT_FALSE(model.OpenEnabled());

    SetUp();
    fake.FailNext("QORVAL_GetSystemInfo", QORVAL_GENERAL_ERROR);
    EXPECT_EQ(model.Load(), QORVAL_GENERAL_ERROR);
    EXPECT_TRUE(model.Drivers().empty());
    EXPECT_FALSE(model.OpenEnabled());

    // The second read, for the port list, fails: no ports and nothing to open.
    ASSERT_EQ(model.Load(), QORVAL_OK);
    fake.FailNext("QORVAL_GetSystemInfo", QORVAL_GENERAL_ERROR);
    model.SelectDriver(0);
    EXPECT_TRUE(model.Ports().empty());
    EXPECT_EQ(model.Info(), PortInfoTexts{});
    EXPECT_FALSE(model.OpenEnabled());
}

class PortStateFormTest : public ::testing::Test {
  protected:
    void SetUp() override {
        fake.Reset();
        fake.AddPort({.port = 1, .rx_buffers = 60, .tx_buffers = 30});
        ASSERT_EQ(port.Open(), QORVAL_OK);
    }
    FakeLibrary& fake = FakeLibrary::Instance();
    Qorval_Port port{kWyvel, 1};
    PortStateForm form{&port};
    RecordingUserMessages user;
};

TEST_F(PortStateFormTest, ReadsBothRecordsAndEnablesWhatTheMaskAllows) {
    form.Read();
    EXPECT_EQ(form.Info()[kTxDma], "65535");
    EXPECT_EQ(form.Info()[kTxFrames], "30");
    EXPECT_EQ(form.Info()[kCard], "Rowan");
    EXPECT_EQ(form.State()[kDatabits], "8");
    form.ReadCapabilities(user);
    EXPECT_TRUE(user.shown.empty());
    EXPECT_TRUE(form.Enabled(kDivisor));
    EXPECT_FALSE(form.Enabled(kRxTimeout));
    EXPECT_FALSE(form.Enabled(kClockX));
}

TEST_F(PortStateFormTest, AFailedReadLeavesItsTextsUnreadAndEnablesNothing) {
    fake.FailNext("QORVAL_GetPortState", QORVAL_GENERAL_ERROR);
    form.Read();
    EXPECT_EQ(form.Info()[kBaseIo], "E000");
    EXPECT_EQ(form.State(), UnreadStateTexts());
    fake.FailNext("QORVAL_GetPortInfo", QORVAL_GENERAL_ERROR);
    form.Read();
    EXPECT_EQ(form.Info(), UnreadInfoTexts());
    EXPECT_EQ(form.State()[kDivisor], "0");

    fake.FailNext("QORVAL_GetPortInfo", QORVAL_GENERAL_ERROR);
    form.ReadCapabilities(user);
    EXPECT_EQ(user.Texts(), std::vector<std::string>{"Error getting port info!"});
    EXPECT_EQ(user.shown[0].caption, "Error");
    EXPECT_EQ(user.shown[0].icon, ui::MessageIcon::Warning);
    for (int f = 0; f < kStateFieldCount; ++f) {
        EXPECT_FALSE(form.Enabled(static_cast<StateField>(f)));
    }
}

TEST_F(PortStateFormTest, APortInfoThatFailsBecauseNoDriverHostRunsSaysHowToStartIt) {
    fake.FailNext("QORVAL_GetPortInfo", QORVAL_GENERAL_ERROR);
    fake.FailNext("QORVAL_GetSystemInfo", QORVAL_GENERAL_ERROR);
    form.ReadCapabilities(user);
    ASSERT_EQ(user.shown.size(), 2u);
    EXPECT_EQ(user.shown[0].text, "Error getting port info!");
    EXPECT_NE(user.shown[1].text.find("wyvel32 run"), std::string::npos) << user.shown[1].text;
    EXPECT_EQ(user.shown[1].caption, "Port Information");
    EXPECT_EQ(user.shown[1].icon, ui::MessageIcon::Warning);
}

TEST_F(PortStateFormTest, AcceptWritesTheDriversRecordWithTheTextsOverIt) {
    PortState driver = testing::AdapterPortState();
    driver.dpll = 131;
    driver.blockWrite = 1;
    fake.SetPortState(kWyvel, 1, driver);
    form.Read();
    form.SetText(kDivisor, "14");
    form.SetText(kLoopback, "ON");
    // Frames counted between the building of the dialog and OK stay the driver's.
    driver.txFrames = 500;
    fake.SetPortState(kWyvel, 1, driver);
    form.Accept(user);
    EXPECT_TRUE(user.shown.empty());
    PortState expected = driver;
    expected.divisor = 14;
    expected.loopback = 1;
    const auto written = fake.LastPortStateWritten(kWyvel, 1);
    ASSERT_TRUE(written.has_value());
    EXPECT_TRUE(testing::SameRecord(*written, expected));
}

TEST_F(PortStateFormTest, AFailedWriteOrReadAtOkIsReported) {
    form.Read();
    fake.FailNext("QORVAL_SetPortState", QORVAL_INVALID_PARAMETER);
    form.Accept(user);
    EXPECT_EQ(user.Texts(), std::vector<std::string>{"Error setting port state!"});

    fake.FailNext("QORVAL_GetPortState", QORVAL_GENERAL_ERROR);
    form.Accept(user);
    EXPECT_EQ(user.shown.size(), 2u);
    EXPECT_FALSE(fake.LastPortStateWritten(kWyvel, 1).has_value())
        << "a record that cannot keep the driver's values is not written";

    PortStateForm none(nullptr);
    none.Read();
    EXPECT_EQ(none.State(), UnreadStateTexts());
    none.Accept(user);
    EXPECT_EQ(user.LastText(), "Error setting port state!");
}

}  // namespace
}  // namespace qorval::dialogs
