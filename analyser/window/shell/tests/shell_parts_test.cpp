// The shell around the documents: the no-driver-host start, documents that ask to be saved,
// the recent files and the window placement in the profile, the splash and the About box.
#include <QLabel>
#include <QMenuBar>
#include <QStatusBar>
#include <QMessageBox>
#include <fstream>

#include "analyser/window/shell/about_box.h"
#include "analyser/window/shell/splash.h"
#include "analyser/window/shell/tests/shell_test_fixture.h"
#include "analyser/window/shell/window_placement.h"
#include "platform/profile.h"
#include "platform/window/qt_user_messages.h"
#include "platform/window/testing/modal_driver.h"
#include "platform/window/testing/screenshot.h"

namespace qorval::analyser::testing {
namespace {

class ShellParts : public ShellTest {};

TEST_F(ShellParts, WithoutADriverHostTheStartSaysHowToStartOne) {
    frame_.reset();
    Fake().FailNext("QORVAL_GetSystemInfo", QORVAL_GENERAL_ERROR);
    CMainFrame frame(dir_ / "lombex32.ini", &messages_);
    EXPECT_FALSE(frame.StartEngine());
    EXPECT_EQ(messages_.LastText(),
              "Could not retrieve driver information, Exiting application!\n\nNo driver host "
              "is running. Start it with \"wyvel32 run\" and try again.");
}

TEST_F(ShellParts, AModifiedDocumentAsksBeforeItClosesAndSavesOnYes) {
    Trigger(frame_->Actions().fileNew);
    CChildFrame* child = frame_->ActiveChild();
    child->View().insertPlainText("notes");
    messages_.Answer(MessageAnswer::Cancel);
    child->close();
    EXPECT_EQ(messages_.LastText(), "Save changes to Lombex1?");
    EXPECT_EQ(frame_->Children().size(), 1);
    messages_.Answer(MessageAnswer::Yes);
    messages_.ChooseNext((dir_ / "notes.txt").string());
    child->close();
    EXPECT_TRUE(WaitFor([&] { return frame_->Children().isEmpty(); }));
    EXPECT_EQ(ReadFile(dir_ / "notes.txt"), "notes");
    EXPECT_EQ(frame_->RecentFiles().Paths().front(), (dir_ / "notes.txt").string());
}

TEST_F(ShellParts, StartingCaptureClosesDocumentsWithoutAsking) {
    Trigger(frame_->Actions().fileNew);
    frame_->ActiveChild()->View().setPlainText("unsaved");
    SelectPort1();
    Trigger(frame_->Actions().capture);
    EXPECT_TRUE(messages_.shown.empty());
    ASSERT_TRUE(WaitFor([&] { return frame_->Children().size() == 1; }));
    EXPECT_EQ(frame_->Children().front(), frame_->CaptureChild());
}

TEST_F(ShellParts, OpenedFilesAreRememberedAndARecentFileThatIsGoneLeavesTheList) {
    const auto a = WriteFile("a.txt", "alpha\n");
    const auto b = WriteFile("b.txt", "beta\n");
    messages_.ChooseNext(a.string());
    Trigger(frame_->Actions().fileOpen);
    ASSERT_TRUE(frame_->OpenDocumentFile(b));
    EXPECT_EQ(ui::FromQString(frame_->windowTitle()), "Lombex for NT - b.txt");
    EXPECT_EQ(ui::FromQString(frame_->Actions().recentFiles[0]->text()), "&1 " + b.string());
    EXPECT_TRUE(frame_->Actions().recentFiles[1]->isVisible());
    EXPECT_FALSE(frame_->Actions().recentFiles[2]->isVisible());
    // Opening a file that is open already shows its window.
    ASSERT_TRUE(frame_->OpenDocumentFile(a));
    EXPECT_EQ(frame_->Children().size(), 2);
    frame_->close();
    frame_ = MakeFrame();
    EXPECT_EQ(frame_->RecentFiles().Paths(), (std::vector<std::string>{b.string(), a.string()}));
    std::filesystem::remove(b);
    Trigger(frame_->Actions().recentFiles[0]);
    EXPECT_EQ(messages_.LastText(), "Cannot open the file " + b.string() + ".");
    EXPECT_EQ(frame_->RecentFiles().Paths(), std::vector<std::string>{a.string()});
}

TEST_F(ShellParts, TheWindowOpensWhereItWasClosed) {
    frame_->setGeometry(60, 70, 640, 420);
    frame_->show();
    const QRect before = frame_->geometry();
    frame_->close();
    platform::ProfileFile profile(dir_ / "lombex32.ini");
    const auto saved = ReadWindowPos(profile);
    ASSERT_TRUE(saved.has_value()) << profile.GetString("Settings", "WindowPos", "");
    EXPECT_EQ(saved->values[0], 0);
    EXPECT_EQ(saved->values[1], 1);
    frame_ = MakeFrame();
    frame_->ShowWithSavedPlacement(1);
    EXPECT_EQ(frame_->geometry(), before);
    // A placement that fits no screen is ignored.
    WindowPlacement away = *saved;
    away.values[6] = 30000;
    away.values[8] = 30100;
    EXPECT_FALSE(UsableNormalRect(away, QRect(0, 0, 1280, 1024)).has_value());
    away.values[8] = away.values[6] + 10;
    EXPECT_FALSE(UsableNormalRect(away, QRect()).has_value());
}

TEST_F(ShellParts, TheSplashGoesAtTheFirstKeyOrButtonOrAfterItsTime) {
    frame_->show();
    QPointer<CSplashDlg> byKey = ShowSplash(frame_.get());
    EXPECT_TRUE(ui::testing::SaveScreenshot(*byKey, "lombex32-splash"));
    QTest::keyClick(frame_.get(), Qt::Key_Space);
    EXPECT_TRUE(WaitFor([&] { return byKey.isNull(); }));
    QPointer<CSplashDlg> byMouse = ShowSplash(frame_.get());
    QTest::mouseClick(frame_->menuBar(), Qt::RightButton);
    EXPECT_TRUE(WaitFor([&] { return byMouse.isNull(); }));
    QPointer<CSplashDlg> byTime = ShowSplash(frame_.get(), 20);
    EXPECT_TRUE(WaitFor([&] { return byTime.isNull(); }));
}

TEST_F(ShellParts, TheAboutBoxShowsTheVersionAndTheSystemLines) {
    const AboutLines lines{"1024 KB", "Present", "Unavailable"};
    ui::testing::WhenModal([&](QWidget* box) {
        EXPECT_EQ(ui::FromQString(box->findChild<QLabel*>("memory")->text()), "1024 KB");
        EXPECT_EQ(ui::FromQString(box->findChild<QLabel*>("coprocessor")->text()), "Present");
        EXPECT_EQ(ui::FromQString(box->findChild<QLabel*>("disk")->text()), "Unavailable");
        bool version = false;
        for (QLabel* label : box->findChildren<QLabel*>()) {
            version = version || label->text() == "Lombex for NT Version 1.0";
        }
        EXPECT_TRUE(version);
        EXPECT_TRUE(ui::testing::SaveScreenshot(*box, "lombex32-about"));
        box->close();
    });
    RunAboutDialog(frame_.get(), lines);
}

}  // namespace
}  // namespace qorval::analyser::testing
