// The terminal's window: its menus, toolbars and their rules, received text, typing, the log,
// the options, About and the messages, over the fake port access library.

#include <gtest/gtest.h>

#include <QApplication>
#include <QLineEdit>
#include <QMenu>
#include <QMenuBar>
#include <QMessageBox>
#include <QPushButton>
#include <QRadioButton>
#include <QStatusBar>
#include <QTest>
#include <QToolBar>
#include <QToolTip>
#include <fstream>
#include <sstream>

#include "platform/window/testing/modal_driver.h"
#include "platform/window/testing/repaint_watch.h"
#include "platform/window/testing/screenshot.h"
#include "portaccess/driver_host_hint.h"
#include "terminal/window/terminal_text_area.h"
#include "terminal/window/tests/window_fixture.h"

namespace qorval::terminal::window::testing {
namespace {

using ui::testing::AnswerNextMessageBox;
using ui::testing::SaveScreenshot;
using ui::testing::SeenMessageBox;
using ui::testing::WhenModal;

QStringList ItemTexts(QMenu* menu) {
    QStringList texts;
    for (QAction* a : menu->actions()) {
        if (!a->isSeparator()) {
            texts << a->text();
        }
    }
    return texts;
}

std::string FileText(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    std::stringstream all;
    all << in.rdbuf();
    return all.str();
}

// What the text area shows for received text: the line ends the engine writes (CR LF) as one
// break each.
QString AsShown(std::string text) {
    std::string shown;
    for (char c : text) {
        if (c != '\r') {
            shown += c;
        }
    }
    return QString::fromLatin1(shown);
}

TEST_F(VintorWindowTest, MenusToolbarsAndWhatIsEnabledFollowThePortAndTheLog) {
    QStringList titles;
    for (QAction* a : window->menuBar()->actions()) {
        titles << a->text();
    }
    EXPECT_EQ(titles, QStringList({"&File", "&Communications", "&View", "&Help"}));
    auto menu = [&](const char* name) { return window->menuBar()->findChild<QMenu*>(name); };
    EXPECT_EQ(ItemTexts(menu("fileMenu")),
              QStringList({"&Open Log File...", "&Close Log File", "Transmit &Text File...",
                           "Transmit &Bin File...", "&Receive Bin File...", "E&xit"}));
    EXPECT_EQ(ItemTexts(menu("communicationsMenu")),
              QStringList({"Port &Open...", "&Settings...", "&Program Options..."}));
    EXPECT_EQ(ItemTexts(menu("viewMenu")),
              QStringList({"&Modem Control", "&Toolbar", "&Status Bar"}));
    EXPECT_EQ(ItemTexts(menu("helpMenu")), QStringList({"&About vintor..."}));
    EXPECT_EQ(window->windowTitle(), "Vintor");

    const char* port_items[] = {"transmitText", "transmitBin", "receiveBin", "settings",
                                "dtr",          "rts",         "cts",        "dsr",
                                "dcd",          "ri"};
    for (const char* name : port_items) {
        EXPECT_FALSE(Item(name)->isEnabled()) << name;
    }
    EXPECT_TRUE(Item("openLog")->isEnabled());
    EXPECT_FALSE(Item("closeLog")->isEnabled());

    // The modem toolbar's tool tips; the main toolbar's four buttons.
    QStringList tips;
    for (QAction* a : window->findChild<QToolBar*>("modemToolbar")->actions()) {
        if (!a->isSeparator()) {
            tips << a->toolTip();
        }
    }
    EXPECT_EQ(tips, QStringList({"Set/Clear DTR", "Set/Clear RTS", "CTS status", "DSR status",
                                 "DCD status", "RI status"}));
    QList<QAction*> tools = window->findChild<QToolBar*>("mainToolbar")->actions();
    ASSERT_EQ(tools.size(), 4);
    EXPECT_EQ(tools[0], Item("openLog"));
    EXPECT_EQ(tools[1], Item("closeLog"));
    EXPECT_EQ(tools[2], Item("transmitText"));
    EXPECT_EQ(tools[3], Item("about"));

    OpenPortFromMenu();
    EXPECT_EQ(Item("portOpen")->text(), "&Port Close");
    for (const char* name : port_items) {
        EXPECT_TRUE(Item(name)->isEnabled()) << name;
    }

    const std::string log = dir.File("session.log");
    ChooseInNextFileDialog(QString::fromStdString(log), "Log Files (*.log)");
    Trigger("openLog");
    EXPECT_EQ(window->windowTitle().toStdString(), "Vintor - " + log);
    EXPECT_FALSE(Item("openLog")->isEnabled());
    EXPECT_TRUE(Item("closeLog")->isEnabled());
    Trigger("closeLog");
    EXPECT_EQ(window->windowTitle(), "Vintor");
    EXPECT_TRUE(Item("openLog")->isEnabled());

    Trigger("portOpen");  // "&Port Close"
    EXPECT_FALSE(window->Session().Port().IsOpen());
    EXPECT_EQ(Item("portOpen")->text(), "Port &Open...");
    EXPECT_FALSE(Item("transmitBin")->isEnabled());

    // The View items show and hide the bars.
    Trigger("modemControl");
    EXPECT_FALSE(window->findChild<QToolBar*>("modemToolbar")->isVisible());
    Trigger("statusBarItem");
    EXPECT_FALSE(window->statusBar()->isVisible());
    Trigger("modemControl");
    EXPECT_TRUE(window->findChild<QToolBar*>("modemToolbar")->isVisible());
}

// Closing a port waits while the frames it queued leave the card, seconds on a slow line. The
// close is held here until the window has painted: a window that froze for it never paints.
TEST_F(VintorWindowTest, APortCloseThatWaitsForQueuedFramesKeepsTheWindowPainting) {
    OpenPortFromMenu();
    ui::testing::RepaintWatch watch(window.get());
    bool painted_while_closing = false;
    fake.SetCloseWait(
        [&] { painted_while_closing = watch.WaitForPaints(3, std::chrono::seconds(10)); });
    Trigger("portOpen");  // "&Port Close"
    fake.SetCloseWait(nullptr);
    EXPECT_TRUE(painted_while_closing);
    EXPECT_FALSE(window->Session().Port().IsOpen());
    EXPECT_EQ(Item("portOpen")->text(), "Port &Open...");
    OpenPortFromMenu();  // the port was given back
}

TEST_F(VintorWindowTest, ALargeBurstIsShownWholeAndInOrderAndLogged) {
    OpenPortFromMenu();
    const std::string log = dir.File("burst.log");
    ASSERT_TRUE(window->Session().OpenLog(log));

    // 300 frames at once, each a few numbered lines: far more than the text area keeps.
    std::string sent;
    StringTextArea expected;  // the engine's rules, one piece per frame, fed the same frames
    for (int i = 0; i < 300; ++i) {
        std::string frame;
        for (int j = 0; j < 8; ++j) {
            frame += "frame " + std::to_string(i) + " line " + std::to_string(j) + "\r\n";
        }
        sent += frame;
        fake.QueueFrame(kDriver, 1, {frame.begin(), frame.end()});
        ShowReceivedPiece(expected, frame, nullptr);
    }
    QTRY_COMPARE_WITH_TIMEOUT(window->TextArea().Text(), expected.Text(), 20000);
    EXPECT_EQ(Shown(), AsShown(expected.Text()));
    EXPECT_TRUE(Shown().endsWith("frame 299 line 7\n"));

    window->Session().CloseLog();
    std::string logged;
    for (char c : sent) {
        if (c != '\n') {
            logged += c;
        }
        if (c == '\r') {
            logged += '\n';
        }
    }
    EXPECT_EQ(FileText(log), logged);  // every byte, in order
}

TEST_F(VintorWindowTest, TypedKeysGoToTheLineAndAreShownOnlyWithEcho) {
    OpenPortFromMenu();
    window->TextArea().setFocus();
    QTest::keyClicks(&window->TextArea(), "hi");
    QTest::keyClick(&window->TextArea(), Qt::Key_Return);
    QTest::keyClick(&window->TextArea(), Qt::Key_Backspace);
    std::string line;
    for (auto& frame : fake.TakeSentFrames(kDriver, 1)) {
        line.append(frame.bytes.begin(), frame.bytes.end());
    }
    EXPECT_EQ(line, "hi\r\b");
    EXPECT_EQ(Shown(), "");  // echo is off at start

    // "Options": an empty directory is refused and the dialog stays; then echo on.
    const std::string downloads = dir.File("downloads");
    WhenModal([&](QWidget* dialog) {
        EXPECT_EQ(dialog->windowTitle(), "Options");
        EXPECT_FALSE(dialog->findChild<QPushButton*>("browseButton")->isEnabled());
        EXPECT_TRUE(dialog->findChild<QRadioButton*>("echoOff")->isChecked());
        SaveScreenshot(*dialog, "vintor-options");
        auto* directory = dialog->findChild<QLineEdit*>("downloadDirectory");
        directory->clear();
        SeenMessageBox* seen = new SeenMessageBox;
        AnswerNextMessageBox(QMessageBox::Ok, seen, [=](QWidget* still) {
            EXPECT_EQ(seen->text, "UpdateData Failed during dialog termination!");
            EXPECT_EQ(seen->caption, "Vintor");
            delete seen;
            ASSERT_EQ(still, dialog);
            directory->setText(QString::fromStdString(downloads));
            dialog->findChild<QRadioButton*>("echoOn")->setChecked(true);
            QMetaObject::invokeMethod(dialog, "accept");
        });
        QMetaObject::invokeMethod(dialog, "accept");
    });
    Trigger("programOptions");
    EXPECT_TRUE(window->Session().Echo());
    EXPECT_EQ(window->Session().DownloadDirectory(), downloads);

    QTest::keyClicks(&window->TextArea(), "ok");
    QTest::keyClick(&window->TextArea(), Qt::Key_Return);
    QTest::keyClicks(&window->TextArea(), "x");
    EXPECT_EQ(window->TextArea().Text(), "ok\r\nx");
    EXPECT_EQ(Shown(), "ok\nx");
}

TEST_F(VintorWindowTest, ModemButtonsDriveAndShowTheLines) {
    fake.ConnectPair(kDriver, 1, 2);
    OpenPortFromMenu();
    QORVAL_HANDLE peer = 0;
    ASSERT_EQ(QORVAL_PortOpen(kDriver, 2, &peer), 0u);
    ASSERT_EQ(QORVAL_SetModemControl(peer, 0x03), 0u);  // DTR and RTS on the far end
    QTRY_VERIFY_WITH_TIMEOUT(Item("dsr")->isChecked(), 5000);
    EXPECT_TRUE(Item("dcd")->isChecked());
    EXPECT_TRUE(Item("cts")->isChecked());
    EXPECT_FALSE(Item("ri")->isChecked());
    EXPECT_FALSE(Item("dtr")->isChecked());

    fake.ClearCallLog();
    Trigger("dtr");  // not shown pressed: set
    QTRY_VERIFY_WITH_TIMEOUT(Item("dtr")->isChecked(), 5000);
    uint16_t word = 0;
    QORVAL_GetModemControl(peer, &word);
    EXPECT_TRUE(word & 0x10);  // our DTR is the far end's DSR
    Trigger("dtr");            // shown pressed: clear
    QTRY_VERIFY_WITH_TIMEOUT(!Item("dtr")->isChecked(), 5000);

    const std::string banner = "Welcome to the far end\r\n\r\nlogin: ";
    ASSERT_EQ(QORVAL_PutData(peer, reinterpret_cast<const uint8_t*>(banner.data()),
                             static_cast<uint16_t>(banner.size())),
              0u);
    QTRY_COMPARE_WITH_TIMEOUT(Shown(), QString("Welcome to the far end\n\nlogin: "), 5000);
    SaveScreenshot(*window, "vintor-window");
    QORVAL_PortClose(peer);
}

// Hovering each modem button shows its tool tip, as a user sees it; the four indicators cannot
// be pressed.
TEST_F(VintorWindowTest, ModemButtonsShowTheirToolTipsOnHoverAndIndicatorsCannotBePressed) {
    OpenPortFromMenu();
    window->activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(window.get()));
    auto* bar = window->findChild<QToolBar*>("modemToolbar");
    const auto centre = [&](const char* name) {
        QWidget* button = bar->widgetForAction(Item(name));
        return button->mapTo(window.get(), button->rect().center());
    };
    const std::pair<const char*, const char*> tips[] = {
        {"dtr", "Set/Clear DTR"}, {"rts", "Set/Clear RTS"}, {"cts", "CTS status"},
        {"dsr", "DSR status"},    {"dcd", "DCD status"},    {"ri", "RI status"}};
    for (const auto& [name, tip] : tips) {
        QTest::mouseMove(window->windowHandle(), QPoint(5, window->height() / 2));
        QToolTip::hideText();
        QTest::mouseMove(window->windowHandle(), centre(name));
        QTRY_VERIFY2_WITH_TIMEOUT(QToolTip::isVisible() && QToolTip::text() == tip, name, 10000);
    }
    QTest::mouseClick(window->windowHandle(), Qt::LeftButton, {}, centre("cts"));
    QTest::mouseClick(window->windowHandle(), Qt::LeftButton, {}, centre("ri"));
    EXPECT_FALSE(Item("cts")->isChecked());
    EXPECT_FALSE(Item("ri")->isChecked());
}

TEST_F(VintorWindowTest, AboutBoxAndTheMissingDriverHost) {
    WhenModal([](QWidget* modal) {
        auto* box = qobject_cast<QMessageBox*>(modal);
        ASSERT_NE(box, nullptr);
        EXPECT_EQ(box->windowTitle(), "About Vintor");
        EXPECT_EQ(box->text(), "Vintor Version 2.0");
        SaveScreenshot(*box, "vintor-about");
        box->button(QMessageBox::Ok)->click();
    });
    Trigger("about");

    SeenMessageBox seen;
    AnswerNextMessageBox(QMessageBox::Ok, &seen);
    fake.FailNext("QORVAL_GetSystemInfo", QORVAL_GENERAL_ERROR);
    window->CheckDriverHost();
    EXPECT_EQ(seen.text.toStdString(), kNoDriverHost);
    EXPECT_EQ(seen.caption, "Vintor");
    EXPECT_EQ(seen.icon, QMessageBox::Warning);

    // With the host there, nothing is said.
    window->CheckDriverHost();
}

}  // namespace
}  // namespace qorval::terminal::window::testing
