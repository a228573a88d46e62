// The two dialog windows through their exported classes, over the fake port access library:
// what they show for known records, what OK and Cancel do, and their messages.

#include <gtest/gtest.h>

#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QMessageBox>
#include <QPushButton>
#include <QTest>
#include <cstring>

#include "dialogs/orvane.h"
#include "dialogs/tests/adapter_records.h"
#include "platform/window/testing/modal_driver.h"
#include "platform/window/testing/screenshot.h"
#include "portaccess/fake/fake_library.h"
#include "portaccess/qorval_port.h"

namespace {

using qorval::dialogs::testing::AdapterPortState;
using qorval::dialogs::testing::SameRecord;
using qorval::fake::FakeLibrary;
using qorval::ui::testing::AnswerNextMessageBox;
using qorval::ui::testing::SaveScreenshot;
using qorval::ui::testing::SeenMessageBox;
using qorval::ui::testing::WhenModal;

constexpr uint16_t kWyvel = QORVAL_DRIVER_WYVEL32;

template <typename T>
T* Child(QWidget* window, const char* name) {
    T* child = window->findChild<T*>(name);
    if (child == nullptr) {
        ADD_FAILURE() << "no control named " << name;
    }
    return child;
}

QString Text(QWidget* window, const char* name) {
    if (auto* label = window->findChild<QLabel*>(name)) {
        return label->text();
    }
    if (auto* edit = window->findChild<QLineEdit*>(name)) {
        return edit->text();
    }
    if (auto* list = window->findChild<QComboBox*>(name)) {
        return list->currentText();
    }
    ADD_FAILURE() << "no text named " << name;
    return {};
}

QStringList Items(QListWidget* list) {
    QStringList items;
    for (int i = 0; i < list->count(); ++i) {
        items << list->item(i)->text();
    }
    return items;
}

void Click(QWidget* window, const char* button) {
    if (auto* b = Child<QPushButton>(window, button)) {
        b->click();
    }
}

class PortDialogsWindow : public ::testing::Test {
  protected:
    void SetUp() override {
        fake.Reset();
        fake.AddPort({.port = 1, .rx_buffers = 60, .tx_buffers = 30});
        fake.AddPort({.port = 2});
    }
    FakeLibrary& fake = FakeLibrary::Instance();
};

TEST_F(PortDialogsWindow, OpenPortListsThePortsAndPointsThePortObjectAtTheChoice) {
    Qorval_Port port;  // Hestabe5 port 1 until chosen
    OpenPortDialog dialog(&port);
    WhenModal([](QWidget* w) {
        EXPECT_EQ(w->windowTitle(), "Open Port");
        EXPECT_EQ(Items(Child<QListWidget>(w, "driverList")), QStringList{"WYVEL32"});
        EXPECT_EQ(Items(Child<QListWidget>(w, "portList")), (QStringList{"Port001", "Port002"}));
        EXPECT_EQ(Text(w, "card"), "Rowan");
        EXPECT_EQ(Text(w, "address"), "E000");
        EXPECT_EQ(Text(w, "channel"), "A");
        EXPECT_EQ(Text(w, "available"), "Yes");
        Child<QListWidget>(w, "portList")->setCurrentRow(1);
        EXPECT_EQ(Text(w, "address"), "E020");
        EXPECT_EQ(Text(w, "channel"), "B");
        EXPECT_TRUE(Child<QPushButton>(w, "openButton")->isEnabled());
        EXPECT_TRUE(SaveScreenshot(*w, "orvane-open-port"));
        Click(w, "openButton");
    });
    EXPECT_EQ(dialog.ShowDialog(), 1);
    EXPECT_EQ(dialog.DriverType(), kWyvel);
    EXPECT_EQ(dialog.PortNumber(), 2);
    EXPECT_EQ(port.GetDriverType(), kWyvel);
    EXPECT_EQ(port.GetPortNumber(), 2);
    EXPECT_FALSE(port.IsOpen()) << "the tool opens the port itself";
}

TEST_F(PortDialogsWindow, OpenPortClosesTheCallersPortOnOkAndLeavesItOnCancel) {
    Qorval_Port port(kWyvel, 1);
    ASSERT_EQ(port.Open(), QORVAL_OK);
    OpenPortDialog dialog(&port);
    WhenModal([](QWidget* w) {
        // The caller's own open port is held, so it cannot be chosen.
        EXPECT_EQ(Text(w, "available"), "No");
        EXPECT_EQ(Text(w, "card"), "????");
        EXPECT_FALSE(Child<QPushButton>(w, "openButton")->isEnabled());
        Click(w, "cancelButton");
    });
    EXPECT_EQ(dialog.ShowDialog(), 0);
    EXPECT_TRUE(port.IsOpen());
    EXPECT_EQ(port.GetPortNumber(), 1);

    WhenModal([](QWidget* w) {
        Child<QListWidget>(w, "portList")->setCurrentRow(1);
        Click(w, "openButton");
    });
    EXPECT_EQ(dialog.ShowDialog(), 1);
    EXPECT_FALSE(port.IsOpen());
    EXPECT_EQ(port.GetPortNumber(), 2);
    Qorval_Port first(kWyvel, 1);
    EXPECT_EQ(first.Open(), QORVAL_OK) << "the old port was closed";
}

TEST_F(PortDialogsWindow, OpenPortSaysSoWhenThePortWasTakenAndStaysOpen) {
    Qorval_Port other(kWyvel, 1);
    OpenPortDialog dialog;
    SeenMessageBox seen;
    bool stayed = false;
    WhenModal([&](QWidget* w) {
        ASSERT_EQ(other.Open(), QORVAL_OK);
        AnswerNextMessageBox(QMessageBox::Ok, &seen, [&stayed, w](QWidget* after) {
            stayed = after == w;
            Click(after, "cancelButton");
        });
        Click(w, "openButton");
    });
    EXPECT_EQ(dialog.ShowDialog(), 0);
    EXPECT_TRUE(stayed);
    EXPECT_EQ(seen.text, "Port is not available.");
    EXPECT_EQ(seen.caption, "Error");
    EXPECT_EQ(seen.icon, QMessageBox::Warning);
}

TEST_F(PortDialogsWindow, OpenPortWithoutADriverHostSaysHowToStartOne) {
    fake.FailNext("QORVAL_GetSystemInfo", QORVAL_GENERAL_ERROR);
    SeenMessageBox seen;
    AnswerNextMessageBox(QMessageBox::Ok, &seen, [](QWidget* w) {
        EXPECT_EQ(Child<QListWidget>(w, "driverList")->count(), 0);
        EXPECT_EQ(Child<QListWidget>(w, "portList")->count(), 0);
        EXPECT_EQ(Text(w, "available"), "");
        EXPECT_FALSE(Child<QPushButton>(w, "openButton")->isEnabled());
        Click(w, "cancelButton");
    });
    OpenPortDialog dialog;
    EXPECT_EQ(dialog.ShowDialog(), 0);
    EXPECT_TRUE(seen.text.contains("wyvel32 run")) << seen.text.toStdString();
}

class PortStateWindow : public PortDialogsWindow {
  protected:
    void SetUp() override {
        PortDialogsWindow::SetUp();
        ASSERT_EQ(port.Open(), QORVAL_OK);
    }
    Qorval_Port port{kWyvel, 1};
};

TEST_F(PortStateWindow, ShowsTheAdapterPortWithOnlyItsChangeableSettingsEnabled) {
    fake.SetPortState(kWyvel, 1, AdapterPortState());
    WhenModal([](QWidget* w) {
        EXPECT_EQ(w->windowTitle(), "Port Information");
        const std::pair<const char*, const char*> shown[] = {
            {"baseIo", "E000"},    {"txDma", "65535"},     {"rxDma", "65535"},
            {"hardwareInt", "11"}, {"txFrameSize", "1024"}, {"txFrames", "30"},
            {"rxFrames", "60"},    {"card", "Rowan"},      {"channel", "A"},
            {"runMode", "Full"},   {"oscillator", "20.000    "}, {"divisor", "126"},
            {"clockX", "X1"},      {"stopbits", "0"},      {"crcPreset", "1"},
            {"dpll", "NRZ"},       {"txClock", "BRG"},     {"rxClock", "RXC"},
            {"brgSource", "PCLK"}, {"loopback", "OFF"},    {"txDataRate", "157480.3150"},
        };
        for (const auto& [name, text] : shown) {
            EXPECT_EQ(Text(w, name), text) << name;
        }
        for (const char* name : {"divisor", "nodeAdd", "crcPreset", "dpll", "txClock", "rxClock",
                                 "brgSource", "loopback", "rs485"}) {
            EXPECT_TRUE(Child<QWidget>(w, name)->isEnabled()) << name;
        }
        for (const char* name : {"rxTimeout", "txTimeout", "clockX", "databits", "stopbits",
                                 "parity"}) {
            EXPECT_FALSE(Child<QWidget>(w, name)->isEnabled()) << name;
        }
        EXPECT_TRUE(SaveScreenshot(*w, "orvane-port-information"));
        Click(w, "cancelButton");
    });
    PortStateDialog(&port).ShowDialog();
}

TEST_F(PortStateWindow, RecomputesTheDataRateAndCancelWritesNothing) {
    PortInfo pine{};
    pine.capabilities = 0x0001FFF3;
    pine.cardType = 12;
    std::strcpy(pine.oscillator, "16.000");
    fake.SetPortInfo(kWyvel, 1, pine);
    PortState state{};
    state.divisor = 126;
    fake.SetPortState(kWyvel, 1, state);
    WhenModal([](QWidget* w) {
        EXPECT_EQ(Text(w, "card"), "Pine");
        EXPECT_EQ(Text(w, "txDataRate"), "125984.2520");
        auto* divisor = Child<QLineEdit>(w, "divisor");
        divisor->selectAll();
        QTest::keyClicks(divisor, "62");
        EXPECT_EQ(Text(w, "txDataRate"), "253968.2540");
        Child<QComboBox>(w, "clockX")->setCurrentText("X64");
        Child<QComboBox>(w, "parity")->setCurrentText("Odd");
        Click(w, "cancelButton");
    });
    PortStateDialog(&port).ShowDialog();
    EXPECT_FALSE(fake.LastPortStateWritten(kWyvel, 1).has_value());
}

TEST_F(PortStateWindow, ShowsTheDriversOscillatorTextAsItIsNotAsMarkup) {
    PortInfo info = qorval::dialogs::testing::AdapterPortInfo();
    std::strcpy(info.oscillator, "<b>16</b>");
    fake.SetPortInfo(kWyvel, 1, info);
    WhenModal([](QWidget* w) {
        auto* oscillator = Child<QLabel>(w, "oscillator");
        EXPECT_EQ(oscillator->text(), "<b>16</b> ");
        EXPECT_EQ(oscillator->textFormat(), Qt::PlainText);
        Click(w, "cancelButton");
    });
    PortStateDialog(&port).ShowDialog();
}

TEST_F(PortStateWindow, OkWritesTheDriversRecordWithTheControlsOverIt) {
    PortState state = AdapterPortState();
    state.dpll = 130;  // NRZB: outside the list, kept as it is
    state.blockRead = 1;
    state.rxFrames = 4242;
    fake.SetPortState(kWyvel, 1, state);
    WhenModal([](QWidget* w) {
        EXPECT_EQ(Text(w, "dpll"), "130");
        auto* divisor = Child<QLineEdit>(w, "divisor");
        divisor->selectAll();
        QTest::keyClicks(divisor, "x7y");  // only digits are taken
        EXPECT_EQ(divisor->text(), "7");
        Child<QComboBox>(w, "txClock")->setCurrentText("TXC");
        Child<QComboBox>(w, "loopback")->setCurrentText("ON");
        Child<QComboBox>(w, "crcPreset")->setCurrentText("0");
        Click(w, "okButton");
    });
    PortStateDialog(&port).ShowDialog();
    PortState expected = state;
    expected.divisor = 7;
    expected.txClock = 1;
    expected.loopback = 1;
    expected.crcPreset = 1;
    const auto written = fake.LastPortStateWritten(kWyvel, 1);
    ASSERT_TRUE(written.has_value());
    EXPECT_TRUE(SameRecord(*written, expected));
}

TEST_F(PortStateWindow, OnAPortThatCannotBeReadReportsBothErrors) {
    port.Close();  // every request on the closed object fails
    SeenMessageBox getting, setting;
    AnswerNextMessageBox(QMessageBox::Ok, &getting, [&](QWidget* w) {
        EXPECT_EQ(Text(w, "baseIo"), "N/A");
        EXPECT_EQ(Text(w, "divisor"), "N/A");
        EXPECT_EQ(Text(w, "dpll"), "N/A");
        EXPECT_FALSE(Child<QWidget>(w, "divisor")->isEnabled());
        AnswerNextMessageBox(QMessageBox::Ok, &setting);
        Click(w, "okButton");
    });
    PortStateDialog(&port).ShowDialog();
    EXPECT_EQ(getting.text, "Error getting port info!");
    EXPECT_EQ(setting.text, "Error setting port state!");
    EXPECT_EQ(setting.caption, "Error");
    EXPECT_EQ(setting.icon, QMessageBox::Warning);
}

TEST_F(PortStateWindow, AFailedWriteIsReportedAndTheDialogCloses) {
    SeenMessageBox seen;
    WhenModal([&](QWidget* w) {
        fake.FailNext("QORVAL_SetPortState", QORVAL_INVALID_PARAMETER);
        AnswerNextMessageBox(QMessageBox::Ok, &seen);
        Click(w, "okButton");
    });
    PortStateDialog(&port).ShowDialog();
    EXPECT_EQ(seen.text, "Error setting port state!");
}

}  // namespace
