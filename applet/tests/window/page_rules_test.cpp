// Each page's enable rules for each driver type, and each refusal of a field with its revert.
#include <QApplication>
#include <QPushButton>

#include "applet/model_edits.h"
#include "applet/tests/full_model.h"
#include "applet/tests/window/sheet_fixture.h"

namespace qorval::applet::testing {
namespace {

// One driver of `type` with one port on a card of `card`, the port selected.
ConfigModel OneDriver(int32_t type, int32_t card) {
    ConfigModel model = FullModel(type + 1);
    model.driver(0) = model.driver(type);
    model.driver_count = 1;
    model.driver(0).port_count = 1;
    model.port(0, 0).Card = card;
    model.port(0, 0).Enabled = 1;
    return model;
}

struct Expect {
    const char* name;
    int page;
    bool enabled[4];  // Hestabe5, Fendar5, Gorlin5, Wyvel32
};

TEST_F(SheetTest, EnableRulesOfEveryPageByDriverType) {
    const Expect rules[] = {
        {"cardType", kDriverInfo, {1, 1, 1, 1}},
        {"addCard", kDriverInfo, {1, 1, 1, 0}},
        {"removeCard", kDriverInfo, {0, 0, 0, 0}},  // one port
        {"transmitDma", kSystemResources, {1, 1, 1, 0}},
        {"portMode", kSystemResources, {1, 1, 1, 0}},
        {"memoryAddress", kSystemResources, {0, 0, 0, 1}},
        {"baseAddress", kSystemResources, {1, 1, 1, 1}},
        {"txBuffSize", kBufferInfo, {1, 1, 1, 1}},
        {"dataBits", kCommSettings, {1, 0, 0, 0}},
        {"clockMode", kCommSettings, {1, 0, 0, 0}},
        {"parity", kCommSettings, {1, 1, 1, 0}},
        {"rs485", kCommSettings, {1, 1, 1, 0}},
        {"divisor", kCommSettings, {1, 1, 1, 1}},
        {"nodeAddress", kCommSettings, {0, 1, 1, 1}},
        {"dpll", kClocking, {0, 1, 1, 1}},
        {"dpllSource", kClocking, {0, 1, 1, 1}},
        {"brgSource", kClocking, {1, 1, 1, 1}},
        {"txcMode", kClocking, {0, 0, 0, 1}},
        {"dpllDivisor", kClocking, {0, 0, 0, 0}},  // Dpll is NRZ in every default set
        {"crcDetection", kAdvanced, {0, 1, 1, 1}},
        {"txTimeout", kAdvanced, {1, 0, 0, 0}},
        {"rxTimeout", kAdvanced, {1, 0, 0, 0}},
        {"autoinitBuffSize", kAdvanced, {1, 1, 1, 0}},
        {"idleLoop", kAdvanced, {0, 1, 1, 0}},
        {"minFlags", kAdvanced, {0, 1, 1, 0}},
        {"interface", kAdvanced, {1, 0, 0, 1}},
        {"protocol", kAdvanced, {0, 0, 0, 0}},
        {"loopback", kAdvanced, {1, 1, 1, 1}},
    };
    for (int32_t type = 0; type < kDriverTypeCount; ++type) {
        Open(OneDriver(type, type == kWyvel32 ? kPine : kHazel));
        for (const Expect& rule : rules) {
            ShowPage(rule.page);
            QWidget* control = Find(rule.name, rule.page);
            ASSERT_NE(control, nullptr) << rule.name;
            EXPECT_EQ(control->isEnabled(), rule.enabled[type])
                << rule.name << " for driver type " << type;
        }
        // The Protocol list names the driver's kind of line.
        EXPECT_EQ(List("protocol", kAdvanced)->currentText(), type == kHestabe5 ? "ASYNC" : "HDLC");
        sheet.reset();
    }
}

TEST_F(SheetTest, CardAndModeRulesOfTheResourceControls) {
    ConfigModel model = OneDriver(kWyvel32, kRowan);
    Open(model);
    ShowPage(kSystemResources);
    EXPECT_FALSE(Find("baseAddress", kSystemResources)->isEnabled());
    EXPECT_FALSE(Find("memoryAddress", kSystemResources)->isEnabled());
    ShowPage(kDriverInfo);
    EXPECT_FALSE(Find("removeDriver", kDriverInfo)->isEnabled());
    sheet.reset();

    Open(OneDriver(kHestabe5, kHazel));
    ShowPage(kSystemResources);
    Choose(List("portMode", kSystemResources), "Interrupt");
    EXPECT_EQ(sheet->Model().selected().TxDMA, -1);
    EXPECT_EQ(List("transmitDma", kSystemResources)->currentText(), "None");
    EXPECT_FALSE(Find("transmitDma", kSystemResources)->isEnabled());
    ShowPage(kClocking);
    Choose(List("dpll", kClocking), "NRZI");  // refused for Hestabe5? no: only the 16C32 codes
    EXPECT_EQ(sheet->Model().selected().Dpll, kDpllNrzi);
}

struct Refusal {
    int32_t type;
    int page;
    const char* field;
    const char* typed;  // an edit's text, or the list item chosen
    const char* text;
    const char* caption;
};

TEST_F(SheetTest, EveryRefusalShowsItsMessageAndRevertsTheField) {
    const Refusal refusals[] = {
        {kFendar5, kSystemResources, "baseAddress", "2E4", "The base I/O address must end in 0 or 8.",
         "Incorrect Address"},
        {kFendar5, kSystemResources, "baseAddress", "300",
         "IO Address 300 is in use by Port002 on the SCC SDLC/HDLC driver.", "IO Address Conflict"},
        {kWyvel32, kSystemResources, "memoryAddress", "FC001",
         "The memory address must be on a 4K boundary (last 3 digits need to be zero)!",
         "Incorrect Address"},
        {kWyvel32, kSystemResources, "memoryAddress", "7F000",
         "The memory address must be between 0x80000 and 0xfc000.", "Incorrect Address"},
        {kFendar5, kSystemResources, "interrupt", "9",
         "Interrupt 9 is in use by Port002 on the SCC SDLC/HDLC driver.\nDisable that port or "
         "choose a different IRQ.",
         "IRQ Conflict"},
        {kFendar5, kSystemResources, "portMode", "Interrupt",
         "Interrupt mode is not supported by the\nSCC SDLC/HDLC driver.", "Invalid Port Mode"},
        {kFendar5, kSystemResources, "portMode", "Full Duplex",
         "Full Duplex mode is not supported by the\nSCC SDLC/HDLC driver.", "Invalid Port Mode"},
        {kFendar5, kBufferInfo, "txBuffers", "0", "The number of buffers must be greater than 0",
         "Illegal Buffer Value"},
        {kFendar5, kBufferInfo, "rxBuffSize", "0", "The buffer size must be greater than 0",
         "Illegal Buffer Value"},
        {kWyvel32, kBufferInfo, "txBuffSize", "1023", "The buffer size must be an even number",
         "Illegal Buffer Value"},
        {kWyvel32, kBufferInfo, "txBuffers", "200",
         "Requested memory exceeds available on-board memory!\n\nRequested Memory = 304K\n"
         "Available Memory = 256K\n\nPlease reduce the buffer size OR the number of buffers.",
         "Illegal Buffer Value"},
        {kFendar5, kAdvanced, "crcDetection", "32 bit",
         "This option is only valid with the 16C32 HDLC/SDLC driver.", "Invalid CRC Option"},
        {kFendar5, kAdvanced, "idleState", "Space",
         "This option is only valid with the 16C32 HDLC/SDLC driver.", "Invalid Idle State"},
        {kWyvel32, kAdvanced, "interface", "EIA-530A",
         "This option is only valid with the Spruce or Nutmeg cards.", "Invalid Interface Option"},
        {kFendar5, kClocking, "dpll", "NRZB",
         "This option is only valid with the 16C32 HDLC/SDLC driver.", "Invalid DPLL"},
        {kFendar5, kClocking, "dpllSource", "TRXC",
         "This option is only valid with the 16C32 HDLC/SDLC driver.", "Invalid DPLL Source"},
    };
    for (const Refusal& refusal : refusals) {
        SCOPED_TRACE(refusal.text);
        ConfigModel model = OneDriver(refusal.type, refusal.type == kWyvel32 ? kPine : kHazel);
        model.port(0, 0).Mode = kModeHalfDuplex;
        // A second port on another card holds base 300 and IRQ 9.
        model.driver(0).port_count = 2;
        model.port(0, 1) = model.port(0, 0);
        model.port(0, 1).name = "Port002";
        model.port(0, 1).BaseIO = 0x300;
        model.port(0, 1).Interrupt = 9;
        model.port(0, 0).BaseIO = 0x238;
        Open(model);
        ShowPage(refusal.page);
        const ConfigModel before = sheet->Model();
        user.shown.clear();
        if (auto* edit = sheet->Page(refusal.page)->findChild<QLineEdit*>(refusal.field)) {
            const QString shown = edit->text();
            TypeAndLeave(edit, refusal.typed);
            EXPECT_EQ(edit->text(), shown);
        } else {
            QComboBox* list = List(refusal.field, refusal.page);
            const QString shown = list->currentText();
            Choose(list, refusal.typed);
            EXPECT_EQ(list->currentText(), shown);
        }
        ASSERT_EQ(user.shown.size(), 1u);
        EXPECT_EQ(user.shown[0].text, refusal.text);
        EXPECT_EQ(user.shown[0].caption, refusal.caption);
        EXPECT_EQ(user.shown[0].icon, ui::MessageIcon::Stop);
        EXPECT_TRUE(sheet->Model().driver(0) == before.driver(0));
        sheet.reset();
    }
}

TEST_F(SheetTest, RxTimeoutOfZeroKeepsTheTextButNotTheValue) {
    Open(OneDriver(kHestabe5, kHazel));
    ShowPage(kAdvanced);
    const int32_t before = sheet->Model().selected().RxTimeout;
    TypeAndLeave(Edit("rxTimeout", kAdvanced), "abc");
    EXPECT_EQ(user.shown.back().caption, "Invalid Timeout Requested");
    EXPECT_EQ(Edit("rxTimeout", kAdvanced)->text(), "abc");
    EXPECT_EQ(sheet->Model().selected().RxTimeout, before);
}

TEST_F(SheetTest, BaseChangeMovesTheWholeCardAndShowsInTheTree) {
    ConfigModel model = OneDriver(kFendar5, kHazel);
    model.driver(0).port_count = 2;
    model.port(0, 1) = model.port(0, 0);
    model.port(0, 1).name = "Port002";
    Open(model);
    ShowPage(kSystemResources);
    TypeAndLeave(Edit("baseAddress", kSystemResources), "2E8");
    EXPECT_TRUE(user.shown.empty());
    EXPECT_EQ(sheet->Model().port(0, 1).BaseIO, 0x2E8);
    EXPECT_EQ(Tree(kSystemResources)->topLevelItem(0)->child(0)->child(1)->text(0),
              "Port 2 (Port002 - Base:2E8 - IRQ:05)");
}

}  // namespace
}  // namespace qorval::applet::testing
