// Select Driver and Port: the two lists, the preselection, refilling the ports, what OK gives.
#include <gtest/gtest.h>

#include <QComboBox>
#include <QPushButton>
#include <cstring>

#include "analyser/window/dialogs/analyser_dialogs.h"
#include "analyser/window/dialogs/tests/dialog_test_fixture.h"
#include "platform/window/qt_user_messages.h"
#include "platform/window/testing/screenshot.h"
#include "portaccess/fake/fake_library.h"

namespace qorval::analyser::testing {
namespace {

void SetDriver(SystemInfo& info, int index, uint16_t type, const char* name) {
    SystemInfoDriver& driver = info.drivers[index];
    driver.driverType = type;
    std::strncpy(driver.name, name, sizeof driver.name);
    driver.present = 1;
}

void SetPort(SystemInfo& info, int driver, int index, const char* name) {
    SystemInfoPort& port = info.drivers[driver].ports[index];
    std::strncpy(port.name, name, sizeof port.name);
    port.present = 1;
    info.drivers[driver].portCount =
        std::max<uint16_t>(info.drivers[driver].portCount, static_cast<uint16_t>(index + 1));
}

// Two present drivers around an absent one: a Fendar5 with two ports, and a driver of a type
// the program does not know whose second port is absent.
SystemInfo TwoDrivers() {
    SystemInfo info{};
    info.driverCount = 3;
    SetDriver(info, 0, QORVAL_DRIVER_FENDAR5, "Fendar5");
    SetPort(info, 0, 0, "Port001");
    SetPort(info, 0, 1, "Port002");
    info.drivers[1].driverType = QORVAL_DRIVER_HESTABE5;  // not present
    SetDriver(info, 2, 9, "Odd");
    SetPort(info, 2, 0, "Port001");
    SetPort(info, 2, 2, "Port003");
    return info;
}

QStringList Items(QComboBox& list) {
    QStringList items;
    for (int i = 0; i < list.count(); ++i) {
        items << list.itemText(i);
    }
    return items;
}

QPushButton& Ok(QDialog& dialog) {
    return Find<QPushButton>(dialog, "okButton");
}

TEST(SelectDriverPortDialog, ListsPresentDriversAndPortsWithTheLastOfEachSelected) {
    const SystemInfo info = TwoDrivers();
    WhenDialog([](QDialog& dialog) {
        EXPECT_EQ(dialog.windowTitle(), "Select Driver and Port");
        auto& drivers = Find<QComboBox>(dialog, "driverList");
        auto& ports = Find<QComboBox>(dialog, "portList");
        EXPECT_EQ(Items(drivers), (QStringList{"FENDAR5 - Fendar5", "UNKNOWN - Odd"}));
        EXPECT_EQ(drivers.currentIndex(), 1);
        EXPECT_EQ(Items(ports), (QStringList{"1 - Port001", "3 - Port003"}));
        EXPECT_EQ(ports.currentText(), "3 - Port003");
        Ok(dialog).click();
    });
    const std::optional<PortChoice> choice = RunSelectDriverPortDialog(nullptr, info);
    ASSERT_TRUE(choice.has_value());
    EXPECT_EQ(choice->driverType, 9) << "the driver's type code, not its place in the list";
    EXPECT_EQ(choice->portNumber, 3) << "the port's number, not its place in the list";
}

TEST(SelectDriverPortDialog, ChangingTheDriverRefillsThePortsAndOkGivesTheChoice) {
    const SystemInfo info = TwoDrivers();
    WhenDialog([](QDialog& dialog) {
        auto& drivers = Find<QComboBox>(dialog, "driverList");
        auto& ports = Find<QComboBox>(dialog, "portList");
        drivers.setCurrentIndex(0);
        EXPECT_EQ(Items(ports), (QStringList{"1 - Port001", "2 - Port002"}));
        EXPECT_EQ(ports.currentIndex(), 1);
        ports.setCurrentIndex(0);
        Ok(dialog).click();
    });
    const std::optional<PortChoice> choice = RunSelectDriverPortDialog(nullptr, info);
    ASSERT_TRUE(choice.has_value());
    EXPECT_EQ(choice->driverType, QORVAL_DRIVER_FENDAR5);
    EXPECT_EQ(choice->portNumber, 1);
}

TEST(SelectDriverPortDialog, CancelGivesNoChoice) {
    const SystemInfo info = TwoDrivers();
    WhenDialog([](QDialog& dialog) {
        Find<QComboBox>(dialog, "driverList").setCurrentIndex(0);
        Find<QPushButton>(dialog, "cancelButton").click();
    });
    EXPECT_FALSE(RunSelectDriverPortDialog(nullptr, info).has_value());
}

TEST(SelectDriverPortDialog, OkNeedsAPortToOpen) {
    SystemInfo info = TwoDrivers();
    SetDriver(info, 1, QORVAL_DRIVER_GORLIN5, "Gorlin5");  // present, but none of its ports
    WhenDialog([](QDialog& dialog) {
        auto& drivers = Find<QComboBox>(dialog, "driverList");
        drivers.setCurrentIndex(1);
        EXPECT_EQ(drivers.currentText(), "GORLIN5 - Gorlin5");
        EXPECT_EQ(Find<QComboBox>(dialog, "portList").count(), 0);
        EXPECT_FALSE(Ok(dialog).isEnabled());
        drivers.setCurrentIndex(2);
        EXPECT_TRUE(Ok(dialog).isEnabled());
        Ok(dialog).click();
    });
    const std::optional<PortChoice> choice = RunSelectDriverPortDialog(nullptr, info);
    ASSERT_TRUE(choice.has_value());
    EXPECT_EQ(choice->portNumber, 3);
}

// Through the engine: the main window answers ChooseDriverPort with this dialog, and the port
// chosen is the one opened.
class DialogChoosingUi : public AnalyserUi {
  public:
    MessageAnswer ShowMessage(const Message&) override { return MessageAnswer::Ok; }
    void ShowStatus(std::string_view) override {}
    std::optional<std::string> ChooseFile(const ui::FileChoice&) override { return std::nullopt; }
    void RefreshMenu(const MenuState&) override {}
    CaptureView* OpenCaptureWindow() override { return nullptr; }
    void CloseCaptureWindow() override {}
    std::optional<PortChoice> ChooseDriverPort(const SystemInfo& info) override {
        return RunSelectDriverPortDialog(nullptr, info);
    }
};

TEST(SelectDriverPortDialog, TheEngineOpensTheChosenPortOfTheLibrarysList) {
    auto& fake = fake::FakeLibrary::Instance();
    fake.Reset();
    for (uint16_t port : {1, 2}) {
        fake::FakePortSpec entry;
        entry.port = port;
        fake.AddPort(entry);
    }
    DialogChoosingUi ui;
    const std::filesystem::path dir = MakeTempDir();
    CAnalyserApp app(ui, dir / "lombex32.ini");
    ASSERT_TRUE(app.Startup());
    WhenDialog([](QDialog& dialog) {
        auto& ports = Find<QComboBox>(dialog, "portList");
        EXPECT_EQ(Find<QComboBox>(dialog, "driverList").currentText(), "WYVEL32 - WYVEL32");
        EXPECT_EQ(ports.currentText(), "2 - Port002");
        EXPECT_TRUE(ui::testing::SaveScreenshot(dialog, "lombex32-select-port"));
        ports.setCurrentIndex(0);
        Ok(dialog).click();
    });
    fake.ClearCallLog();
    ASSERT_TRUE(app.SelectDriverPort());
    EXPECT_EQ(app.SelectedPort().portNumber, 1);
    const auto calls = fake.CallLog();
    EXPECT_NE(std::find(calls.begin(), calls.end(), "QORVAL_PortOpen(3,1)"), calls.end());
    app.Shutdown(false);
    std::filesystem::remove_all(dir);
}

}  // namespace
}  // namespace qorval::analyser::testing
