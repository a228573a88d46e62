// Every command's enabled state and mark in the four states of the program: no port, a port
// open, capturing, logging; and the two menu bars.
#include <QMenuBar>
#include <map>

#include "analyser/window/shell/tests/shell_test_fixture.h"
#include "platform/window/qt_user_messages.h"

namespace qorval::analyser::testing {
namespace {

enum State { kNoPort, kPortOpen, kCapturing, kLogging };

struct Rule {
    const char* name;
    std::array<bool, 4> enabled;  // by State
    std::array<bool, 4> checked;
};

constexpr std::array<bool, 4> kAlways{true, true, true, true};
constexpr std::array<bool, 4> kNever{false, false, false, false};
constexpr std::array<bool, 4> kWhileCapturing{false, false, true, false};
constexpr std::array<bool, 4> kUnlessCapturing{true, true, false, true};
constexpr std::array<bool, 4> kWhileLogging{false, false, false, true};

// The capture window is the only document in these states, so what needs a document or a
// view is enabled exactly while capturing; commands that need a port are always enabled and
// ask for the port themselves.
const Rule kRules[] = {
    {"fileNew", kUnlessCapturing, kNever},
    {"fileOpen", kUnlessCapturing, kNever},
    {"fileClose", kWhileCapturing, kNever},
    {"fileSave", kWhileCapturing, kNever},
    {"fileSaveAs", kWhileCapturing, kNever},
    {"exit", kAlways, kNever},
    {"undo", kNever, kNever},
    {"cut", kNever, kNever},
    {"copy", kNever, kNever},
    {"toolbar", kAlways, kAlways},
    {"statusBar", kAlways, kAlways},
    {"deviceInfo", kAlways, kNever},
    {"capture", kAlways, kWhileCapturing},
    {"selectDriverPort", kAlways, kNever},
    {"nodeAddress", kAlways, kNever},
    {"resetBuffers", kAlways, kNever},
    {"modem", kAlways, kNever},
    {"portState", kAlways, kNever},
    {"transmitChar", kAlways, kNever},
    {"loggingOptions", kAlways, kNever},
    {"enableLogging", kAlways, kWhileLogging},
    {"sendOptions", kAlways, kNever},
    {"enableTransmit", kAlways, kNever},
    {"ascii", kAlways, kAlways},
    {"hex", kAlways, kNever},
    {"mixed", kAlways, kNever},
    {"cascade", kWhileCapturing, kNever},
    {"tile", kWhileCapturing, kNever},
    {"about", kAlways, kNever},
    {"wordWrap", kWhileCapturing, kNever},
    {"setTabStops", kWhileCapturing, kNever},
    {"setFont", kWhileCapturing, kNever},
    {"setPrinterFont", kWhileCapturing, kNever},
    {"mirrorDisplayFont", kWhileCapturing, kAlways},
    {"pageSetup", kAlways, kNever},
    {"print", kWhileCapturing, kNever},
    {"printPreview", kWhileCapturing, kNever},
    {"printSetup", kAlways, kNever},
};

class CommandStates : public ShellTest {
  protected:
    void Check(State state) {
        frame_->UpdateCommandStates();
        for (const Rule& rule : kRules) {
            auto* action = frame_->findChild<QAction*>(rule.name);
            ASSERT_NE(action, nullptr) << rule.name;
            EXPECT_EQ(action->isEnabled(), rule.enabled[state])
                << rule.name << " enabled in state " << state;
            EXPECT_EQ(action->isChecked(), rule.checked[state])
                << rule.name << " marked in state " << state;
        }
    }
    std::vector<std::string> MenuTitles() {
        std::vector<std::string> titles;
        for (QAction* menu : frame_->menuBar()->actions()) {
            titles.push_back(ui::FromQString(menu->text()));
        }
        return titles;
    }
};

TEST_F(CommandStates, FollowNoPortPortOpenCapturingAndLogging) {
    Check(kNoPort);
    SelectPort1();
    Check(kPortOpen);
    Trigger(frame_->Actions().capture);
    Check(kCapturing);
    Trigger(frame_->Actions().capture);
    ASSERT_TRUE(WaitFor([&] { return frame_->Children().isEmpty(); }));
    frame_->App().MutableParms().logFile = (dir_ / "log.txt").string();
    Trigger(frame_->Actions().enableLogging);
    Check(kLogging);
}

TEST_F(CommandStates, APortCommandWithoutAPortAsksForOneAndChangesNoMark) {
    Trigger(frame_->Actions().capture);
    EXPECT_EQ(messages_.LastText(),
              "Driver and Port have not been selected!\nExecute \"Select Driver/Port\" command "
              "and\ntry this command again!");
    Check(kNoPort);  // the mark the click set is taken back
}

TEST_F(CommandStates, TheMenuBarHasEditAndWindowOnlyWithADocument) {
    const std::vector<std::string> without{"&File", "&View", "&Capture", "F&ormat", "&Help"};
    const std::vector<std::string> with{"&File",    "&Edit",   "&View", "&Capture",
                                        "F&ormat", "&Window", "&Help"};
    EXPECT_EQ(MenuTitles(), without);
    Trigger(frame_->Actions().fileNew);
    EXPECT_EQ(MenuTitles(), with);
    EXPECT_EQ(ui::FromQString(frame_->windowTitle()), "Lombex for NT - Lombex1");
    frame_->ActiveChild()->close();
    EXPECT_TRUE(WaitFor([&] { return MenuTitles() == without; }));
    EXPECT_EQ(ui::FromQString(frame_->windowTitle()), "Lombex for NT");
}

TEST_F(CommandStates, EditCommandsFollowTheSelectionAndTheUndoHistory) {
    Trigger(frame_->Actions().fileNew);
    CLombex32View& view = frame_->ActiveChild()->View();
    view.setFocus();
    QTest::keyClicks(&view, "abc");
    EXPECT_TRUE(frame_->Actions().undo->isEnabled());
    EXPECT_FALSE(frame_->Actions().copy->isEnabled());
    view.selectAll();
    EXPECT_TRUE(frame_->Actions().copy->isEnabled());
    EXPECT_TRUE(frame_->Actions().cut->isEnabled());
    Trigger(frame_->Actions().cut);
    EXPECT_EQ(view.toPlainText(), "");
    EXPECT_TRUE(frame_->Actions().paste->isEnabled());
    Trigger(frame_->Actions().paste);
    EXPECT_EQ(view.toPlainText(), "abc");
}

TEST_F(CommandStates, TheFormatAcceleratorsWorkWhileTheViewHasTheFocus) {
    Trigger(frame_->Actions().fileNew);
    frame_->show();
    frame_->activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(frame_.get()));
    CLombex32View& view = frame_->ActiveChild()->View();
    view.setFocus();
    QTest::keyClick(&view, Qt::Key_E, Qt::ControlModifier);
    EXPECT_EQ(frame_->App().Parms().display, 1);
    QTest::keyClick(&view, Qt::Key_A, Qt::ControlModifier);
    EXPECT_EQ(frame_->App().Parms().display, 0);
    EXPECT_EQ(messages_.LastStatus(), "Setting display format to ASCII.");
}

TEST_F(CommandStates, PromptsAndToolTipsComeFromOneText) {
    QAction* capture = frame_->Actions().capture;
    EXPECT_EQ(ui::FromQString(capture->statusTip()), "Toggle capturing of data from link");
    EXPECT_EQ(ui::FromQString(capture->toolTip()), "Toggle Capturing");
    auto* toolbar = frame_->findChild<QToolBar*>("toolbar");
    ASSERT_NE(toolbar, nullptr);
    std::vector<std::string> order;
    for (QAction* item : toolbar->actions()) {
        order.push_back(item->isSeparator() ? "|" : ui::FromQString(item->objectName()));
    }
    EXPECT_EQ(order, (std::vector<std::string>{"fileNew", "fileOpen", "fileSave", "|", "cut",
                                               "copy", "paste", "undo", "|", "capture",
                                               "enableLogging", "enableTransmit", "|", "ascii",
                                               "hex", "mixed", "|", "print", "about"}));
}

}  // namespace
}  // namespace qorval::analyser::testing
