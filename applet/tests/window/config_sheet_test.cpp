// The property sheet: its tree, OK and Cancel, the Windows 95/98 store, the driver and card
// buttons, help, and a picture of every page and dialog.
#include <QApplication>
#include <QCheckBox>
#include <QMenu>
#include <QMessageBox>
#include <QPushButton>
#include <QTabBar>
#include <QTabWidget>
#include <QTest>
#include <dlfcn.h>

#include "applet/cpl_protocol.h"
#include "applet/model_edits.h"
#include "applet/tests/full_model.h"
#include "applet/tests/window/sheet_fixture.h"
#include "applet/window/add_card_dialog.h"
#include "applet/window/driver_info_page.h"
#include <QDialogButtonBox>
#include <QPlainTextEdit>
#include <cstring>
#include "platform/window/testing/modal_driver.h"
#include "platform/window/testing/screenshot.h"

namespace qorval::applet::testing {
namespace {

using ui::MessageAnswer;
using ui::testing::AnswerNextMessageBox;
using ui::testing::SaveScreenshot;
using ui::testing::SeenMessageBox;
using ui::testing::WhenModal;

// Two SCC drivers with two ports each on one two-channel card, DMA set apart so OK asks
// nothing: Hestabe5 Hazel at 0x238, Fendar5 Hazel at 0x300 in half duplex.
ConfigModel Quiet() {
    ConfigModel model = FullModel(2);
    for (int d = 0; d < 2; ++d) {
        DriverEntry& driver = model.driver(d);
        driver.port_count = 2;
        for (int p = 0; p < 2; ++p) {
            PortEntry& port = driver.ports[static_cast<size_t>(p)];
            port.BaseIO = d == 0 ? 0x238 : 0x300;
            port.Interrupt = d == 0 ? 5 : 7;
            port.Channel = p;
            port.Enabled = 1;
            port.Mode = d == 0 ? kModeInterrupt : kModeHalfDuplex;
            port.TxDMA = port.RxDMA = d == 0 ? -1 : p;
            port.TxTimeout = port.RxTimeout = 250000;  // the recommendation at 9600
            port.Divisor = 22;
        }
    }
    return model;
}

TEST_F(SheetTest, TreeShowsDriversCardsPortsAndFollowsTheChoice) {
    Open(Quiet());
    QTreeWidget* tree = Tree(kDriverInfo);
    ASSERT_EQ(tree->topLevelItemCount(), 2);
    EXPECT_EQ(tree->topLevelItem(0)->text(0), "SCC Asynchronous ");
    EXPECT_EQ(tree->topLevelItem(1)->child(0)->text(0), "Card 1 (Hazel)");
    EXPECT_EQ(tree->topLevelItem(1)->child(0)->child(1)->text(0),
              "Port 2 (Port002 - Base:300 - IRQ:07)");
    EXPECT_EQ(tree->currentItem(), tree->topLevelItem(0)->child(0)->child(0));
    ChoosePort(kDriverInfo, 1, 0, 1);
    EXPECT_EQ(sheet->Model().selected_driver, 1);
    EXPECT_EQ(sheet->Model().selected_port, 1);
    EXPECT_EQ(Edit("channel", kDriverInfo)->text(), "B");
    tree->setCurrentItem(tree->topLevelItem(0));
    EXPECT_EQ(sheet->Model().selection_level, kSelectDriver);
    EXPECT_FALSE(Find("portEnabled", kDriverInfo)->isEnabled());
    // Another page keeps the selection in its own tree; the builder selects the port.
    ShowPage(kBufferInfo);
    EXPECT_EQ(Tree(kBufferInfo)->currentItem(), Tree(kBufferInfo)->topLevelItem(0)->child(0)->child(0));
    // Unticking the port shows it disabled in the tree.
    ShowPage(kDriverInfo);
    static_cast<QCheckBox*>(Find("portEnabled", kDriverInfo))->click();
    EXPECT_EQ(Tree(kDriverInfo)->topLevelItem(0)->child(0)->child(0)->text(0),
              "Port 1 (Port001 - Base:238 - IRQ:05 - Disabled)");
}

TEST_F(SheetTest, CancelLeavesTheRegistryFileByteForByte) {
    Open(Quiet());
    const std::string before = RegistryBytes();
    ShowPage(kBufferInfo);
    TypeAndLeave(Edit("txBuffers", kBufferInfo), "7");
    static_cast<QCheckBox*>(Find("driverEnabled", kDriverInfo))->click();
    EXPECT_EQ(sheet->Model().selected().TxBuffers, 7);
    sheet->reject();
    EXPECT_EQ(RegistryBytes(), before);
    EXPECT_FALSE(std::filesystem::exists(paths.config_log));
}

TEST_F(SheetTest, OkStoresTheEditAndWritesTheLog) {
    Open(Quiet());
    ShowPage(kBufferInfo);
    Edit("txBuffers", kBufferInfo)->setFocus();
    Edit("txBuffers", kBufferInfo)->selectAll();
    QTest::keyClicks(Edit("txBuffers", kBufferInfo), "9");  // still focused: OK takes it
    sheet->accept();
    EXPECT_EQ(sheet->result(), QDialog::Accepted);
    ConfigModel stored;
    ASSERT_EQ(LoadConfig(stored, StoreKind::Registry, paths), "");
    EXPECT_EQ(stored.port(0, 0).TxBuffers, 9);
    EXPECT_TRUE(std::filesystem::exists(paths.config_log));
}

// A DMA conflict at OK, answered in a real message box both ways.
TEST_F(SheetTest, OkTimeQuestionYesDisablesThePortNoGoesBackToTheField) {
    ConfigModel model = Quiet();
    model.port(1, 1).TxDMA = model.port(1, 1).RxDMA = 0;  // the same channel as Port001
    Open(model, StoreKind::Registry, /*real_boxes=*/true);
    const std::string before = RegistryBytes();

    SeenMessageBox seen;
    AnswerNextMessageBox(QMessageBox::No, &seen);
    sheet->accept();
    EXPECT_EQ(seen.caption, "DMA Conflict");
    EXPECT_TRUE(seen.text.startsWith("The transmit DMA channel on\nSCC SDLC/HDLC, Port001\n"));
    EXPECT_EQ(sheet->result(), 0);
    EXPECT_EQ(sheet->Tabs()->currentIndex(), kSystemResources);
    EXPECT_EQ(sheet->Model().selected_driver, 1);
    EXPECT_EQ(RegistryBytes(), before);

    AnswerNextMessageBox(QMessageBox::Yes, &seen);
    sheet->accept();
    EXPECT_EQ(sheet->result(), QDialog::Accepted);
    ConfigModel stored;
    ASSERT_EQ(LoadConfig(stored, StoreKind::Registry, paths), "");
    EXPECT_EQ(stored.port(1, 0).Enabled, 0);
    EXPECT_EQ(stored.port(1, 1).Enabled, 1);
}

TEST_F(SheetTest, TimeoutQuestionCancelKeepsTheSheetOpenAndTheSelection) {
    ConfigModel model = Quiet();
    model.port(0, 1).RxTimeout = 5;
    Open(model);
    ChoosePort(kDriverInfo, 1, 0, 0);
    user.Answer(MessageAnswer::Cancel);
    sheet->accept();
    EXPECT_EQ(user.shown.back().caption, "Recommended Timeouts");
    EXPECT_EQ(sheet->result(), 0);
    EXPECT_EQ(sheet->Model().selected_driver, 1);
    user.Answer(MessageAnswer::Yes);
    sheet->accept();
    EXPECT_EQ(sheet->result(), QDialog::Accepted);
}

TEST_F(SheetTest, Windows9xStoreOffersOnlyTheSdlcDriverAndNoPortMode) {
    ConfigModel model = Quiet();
    model.driver_count = 1;
    model.driver(0) = Quiet().driver(1);  // Fendar5
    model.driver(0).port_count = 1;
    model.platform_win9x = true;
    model.port(0, 0).Mode = kModeFullDuplex;  // the only mode this store keeps
    model.port(0, 0).TxDMA = 3;
    model.port(0, 0).RxDMA = 1;
    Open(model, StoreKind::Ini);
    EXPECT_TRUE(sheet->Model().platform_win9x);
    EXPECT_EQ(Tree(kDriverInfo)->topLevelItem(0)->text(0), "SCC SDLC/HDLC ");
    EXPECT_FALSE(Find("addCard", kDriverInfo)->isEnabled());
    QMenu* menu = sheet->Page(kDriverInfo)->findChild<QMenu*>("addDriverMenu");
    ASSERT_NE(menu, nullptr);
    std::vector<bool> enabled;
    for (QAction* item : menu->actions()) enabled.push_back(item->isEnabled());
    EXPECT_EQ(enabled, (std::vector<bool>{false, false, false, false}));  // Fendar5 is there
    ShowPage(kSystemResources);
    EXPECT_FALSE(List("portMode", kSystemResources)->isEnabled());
    ShowPage(kClocking);
    EXPECT_FALSE(List("brgSource", kClocking)->isEnabled());
    sheet->accept();
    EXPECT_EQ(sheet->result(), QDialog::Accepted)
        << (user.shown.empty() ? "" : user.shown.back().text);
    ConfigModel stored;
    ASSERT_EQ(LoadConfig(stored, StoreKind::Ini, paths), "");
    EXPECT_EQ(stored.driver_count, 1);
    EXPECT_EQ(stored.driver(0).name, "Fendar5");
}

TEST_F(SheetTest, NoDriversWarnsAndAddDriverGoesThroughTheAddCardDialog) {
    Open(ConfigModel{});
    ASSERT_FALSE(user.shown.empty());
    EXPECT_EQ(user.shown[0].caption, "No Drivers Defined");
    EXPECT_EQ(user.shown[0].icon, ui::MessageIcon::Warning);
    EXPECT_EQ(Tree(kDriverInfo)->topLevelItem(0)->text(0), "No drivers defined.");
    EXPECT_FALSE(Tree(kDriverInfo)->isEnabled());
    EXPECT_TRUE(Find("addDriver", kDriverInfo)->isEnabled());
    EXPECT_FALSE(Find("removeDriver", kDriverInfo)->isEnabled());

    auto* page = static_cast<window::CDriverInfoPage*>(sheet->Page(kDriverInfo));
    WhenModal([](QWidget* dialog) {
        auto* address = dialog->findChild<QLineEdit*>("baseAddress");
        auto* card = dialog->findChild<QComboBox*>("cardModel");
        EXPECT_EQ(address->text(), "238");
        EXPECT_EQ(card->currentText(), "Pine");
        EXPECT_TRUE(SaveScreenshot(*dialog, "qorval-add-card"));
        address->setText("280");
        static_cast<QDialog*>(dialog)->accept();
    });
    page->AddDriverOfType(kWyvel32);
    ASSERT_EQ(sheet->Model().driver_count, 1);
    EXPECT_EQ(sheet->Model().driver(0).name, "Wyvel32");
    EXPECT_EQ(sheet->Model().port(0, 0).BaseIO, 0x280);
    EXPECT_EQ(Tree(kDriverInfo)->topLevelItem(0)->child(0)->text(0), "Card 1 (Pine)");
}

TEST_F(SheetTest, RemoveDriverAndRemoveCardAskFirst) {
    ConfigModel model = Quiet();
    model.driver(1).ports[1].BaseIO = 0x310;  // two cards on Fendar5
    Open(model);
    ChoosePort(kDriverInfo, 1, 1, 0);
    user.Answer(MessageAnswer::No);
    static_cast<QPushButton*>(Find("removeCard", kDriverInfo))->click();
    EXPECT_EQ(user.shown.back().text, "Remove selected card from SCC SDLC/HDLC driver?");
    EXPECT_EQ(user.shown.back().caption, "Remove Port");
    EXPECT_EQ(sheet->Model().driver(1).port_count, 2);
    user.Answer(MessageAnswer::Yes);
    static_cast<QPushButton*>(Find("removeCard", kDriverInfo))->click();
    EXPECT_EQ(sheet->Model().driver(1).port_count, 1);

    user.Answer(MessageAnswer::Yes);
    static_cast<QPushButton*>(Find("removeDriver", kDriverInfo))->click();
    EXPECT_EQ(user.shown.back().text, "Remove the SCC SDLC/HDLC driver?");  // still selected
    EXPECT_EQ(sheet->Model().driver_count, 1);
    EXPECT_EQ(sheet->Model().driver(0).name, "Hestabe5");
    EXPECT_EQ(Tree(kDriverInfo)->topLevelItemCount(), 1);
}

TEST_F(SheetTest, HelpAsksForThePageContextNumber) {
    Open(Quiet());
    std::vector<int> contexts;
    QObject::connect(sheet.get(), &window::CConfigSheet::helpRequested,
                     [&](int context) { contexts.push_back(context); });
    for (int page = 0; page < 7; ++page) {
        ShowPage(page);
        sheet->findChild<QDialogButtonBox*>("sheetButtons")->button(QDialogButtonBox::Help)->click();
    }
    EXPECT_EQ(contexts, (std::vector<int>{133, 134, 132, 107, 135, 136, 137}));
    EXPECT_EQ(user.shown.back().caption, "Help");
}

TEST_F(SheetTest, JumperPageUsesAFixedPitchFontAndShowsEveryCard) {
    Open(Quiet());
    ShowPage(kJumpers);
    auto* text = sheet->Page(kJumpers)->findChild<QPlainTextEdit*>("jumperText");
    ASSERT_NE(text, nullptr);
    EXPECT_TRUE(QFontInfo(text->font()).fixedPitch());
    EXPECT_TRUE(text->toPlainText().contains("JUMPER SETTINGS FOR THE Hazel CARD (SCC Asynchronous):"));
    EXPECT_TRUE(text->toPlainText().contains("JUMPER SETTINGS FOR THE Hazel CARD (SCC SDLC/HDLC):"));
}

TEST_F(SheetTest, PictureOfEveryPage) {
    ConfigModel model = Quiet();
    model.driver(model.driver_count++) = FullModel(4).driver(3);
    model.driver(2).port_count = 1;
    Open(model);
    const char* names[] = {"qorval-driver-info", "qorval-system-resources", "qorval-buffer-info",
                           "qorval-comm-settings", "qorval-clocking-options", "qorval-advanced",
                           "qorval-jumper-settings"};
    for (int page = 0; page < 7; ++page) {
        ShowPage(page);
        EXPECT_TRUE(SaveScreenshot(*sheet, names[page]));
    }
}

TEST(AppletLibrary, AnswersTheControlPanelMessages) {
    void* library = ::dlopen(QORVAL_APPLET_LIBRARY, RTLD_NOW | RTLD_LOCAL);
    ASSERT_NE(library, nullptr) << ::dlerror();
    auto entry = reinterpret_cast<CplAppletEntry>(::dlsym(library, "CPlApplet"));
    ASSERT_NE(entry, nullptr);
    EXPECT_EQ(::dlsym(library, "_ZN6qorval6applet14FillNewInquireERNS0_10NewCplInfoE"), nullptr);
    EXPECT_EQ(entry(nullptr, kCplInit, 0, 0), 1);
    EXPECT_EQ(entry(nullptr, kCplGetCount, 0, 0), 1);
    NewCplInfo info;
    std::memset(&info, 0x55, sizeof info);
    NewCplInfo untouched = info;
    EXPECT_EQ(entry(nullptr, kCplInquire, 0, reinterpret_cast<intptr_t>(&info)), 0);
    EXPECT_EQ(std::memcmp(&info, &untouched, sizeof info), 0);
    EXPECT_EQ(entry(nullptr, kCplNewInquire, 0, reinterpret_cast<intptr_t>(&info)), 0);
    EXPECT_EQ(info.dwSize, 244u);
    EXPECT_EQ(info.hIcon, 130u);
    EXPECT_STREQ(info.szName, "Qorval Drivers");
    EXPECT_STREQ(info.szInfo, "Configures the Qorval drivers.");
    EXPECT_STREQ(info.szHelpFile, "");
    EXPECT_EQ(entry(nullptr, kCplSelect, 0, 0), 1);
    // A double click opens the sheet with its caption; Cancel ends it without the prompt.
    TempDir prefix;
    ::setenv("QORVAL_PREFIX", prefix.path().c_str(), 1);
    ASSERT_EQ(StoreConfig(Quiet(), StoreKind::Registry, DefaultStorePaths()), "");
    QString caption;
    WhenModal([&](QWidget* window) {
        caption = window->windowTitle();
        static_cast<QDialog*>(window)->reject();
    });
    EXPECT_EQ(entry(nullptr, kCplDblClk, 0, 0), 0);
    EXPECT_EQ(caption, "Qorval Drivers Configuration");
    // A store name that names no store is said, opens no sheet and fails the double click, so
    // the tool ends with a non-zero status.
    ::setenv("QORVAL_STORE", "os2", 1);
    SeenMessageBox seen;
    AnswerNextMessageBox(QMessageBox::Ok, &seen);
    EXPECT_EQ(entry(nullptr, kCplDblClk, 0, 0), 1);
    ::unsetenv("QORVAL_STORE");
    EXPECT_EQ(seen.text, "Operating system not recognized!");
    EXPECT_EQ(QApplication::activeModalWidget(), nullptr);
    EXPECT_EQ(entry(nullptr, kCplStop, 0, 0), 1);
    EXPECT_EQ(entry(nullptr, kCplExit, 0, 0), 0);
    EXPECT_EQ(entry(nullptr, 99, 0, 0), 1);
    ::unsetenv("QORVAL_PREFIX");
}

TEST_F(SheetTest, EveryTabIsInViewAtTheSizeTheSheetOpensWith) {
    Open(Quiet());
    QTabBar* bar = sheet->Tabs()->tabBar();
    ASSERT_EQ(bar->count(), 7);
    for (int tab = 0; tab < bar->count(); ++tab) {
        EXPECT_TRUE(bar->rect().contains(bar->tabRect(tab))) << bar->tabText(tab).toStdString();
    }
    EXPECT_EQ(bar->tabText(6), "Jumper Settings");
}

TEST_F(SheetTest, ANewSixteenC32PortShowsTheRateItsCardRunsAt) {
    ConfigModel model;
    ui::testing::RecordingUserMessages add;
    ASSERT_TRUE(AddDriver(model, kWyvel32, 0x300, kPine, add, nullptr));
    Open(model);
    ShowPage(kCommSettings);
    EXPECT_EQ(List("oscillator", kCommSettings)->placeholderText(), "20.000");
    EXPECT_EQ(Find("dataRate", kCommSettings)->property("text").toString(),
              "157480 bits per second");
    TypeAndLeave(Edit("divisor", kCommSettings), "-5");
    EXPECT_EQ(Find("dataRate", kCommSettings)->property("text").toString(), "0 bits per second");
}

TEST_F(SheetTest, OkOverAnotherWindowsSaveOffersToReadItAgainAndShowsWhatItHolds) {
    Open(Quiet());
    window::CConfigSheet other(nullptr, StoreKind::Registry, paths, &user);
    other.Model().port(0, 0).TxBuffers = 12;
    other.Model().port(0, 1).TxBuffers = 12;
    other.accept();
    ASSERT_EQ(other.result(), QDialog::Accepted);

    ShowPage(kBufferInfo);
    TypeAndLeave(Edit("rxBuffers", kBufferInfo), "40");
    user.Answer(MessageAnswer::No);  // read it again
    sheet->accept();
    EXPECT_EQ(sheet->result(), QDialog::Rejected);  // still open
    EXPECT_EQ(user.shown.back().caption, "Configuration Changed");
    ShowPage(kBufferInfo);
    EXPECT_EQ(Edit("txBuffers", kBufferInfo)->text(), "12");
    EXPECT_EQ(Edit("rxBuffers", kBufferInfo)->text(), "50");
}

}  // namespace
}  // namespace qorval::applet::testing
