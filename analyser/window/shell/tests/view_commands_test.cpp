// The view, font and page commands of the menus reach the active view and the program's
// settings, and their marks follow.
#include <QLineEdit>
#include <QPushButton>

#include "analyser/window/dialogs/tests/dialog_test_fixture.h"
#include "analyser/window/shell/tests/shell_test_fixture.h"

namespace qorval::analyser::testing {
namespace {

using ViewCommands = ShellTest;

TEST_F(ViewCommands, WordWrapSwitchesTheActiveViewAndItsMarkBothWays) {
    Trigger(frame_->Actions().fileNew);
    CLombex32View& view = frame_->ActiveChild()->View();
    view.setPlainText("a long line of text");
    const bool wrapped = frame_->App().View().wordWrap;
    QAction* wordWrap = frame_->Actions().views.wordWrap;

    Trigger(wordWrap);
    EXPECT_EQ(frame_->App().View().wordWrap, !wrapped);
    EXPECT_EQ(view.lineWrapMode() == QPlainTextEdit::WidgetWidth, !wrapped);
    EXPECT_EQ(wordWrap->isChecked(), !wrapped);
    EXPECT_EQ(view.toPlainText(), "a long line of text");

    Trigger(wordWrap);
    EXPECT_EQ(frame_->App().View().wordWrap, wrapped);
    EXPECT_EQ(wordWrap->isChecked(), wrapped);
}

TEST_F(ViewCommands, MirrorDisplayFontDropsThePrinterFontAndMovesTheMarks) {
    Trigger(frame_->Actions().fileNew);
    frame_->App().View().printFont.height = 120;
    frame_->UpdateCommandStates();
    const ViewCommandActions& views = frame_->Actions().views;
    EXPECT_TRUE(views.setPrinterFont->isChecked());
    EXPECT_FALSE(views.mirrorDisplayFont->isChecked());

    Trigger(views.mirrorDisplayFont);
    EXPECT_EQ(frame_->App().View().printFont.height, 0);
    EXPECT_FALSE(views.setPrinterFont->isChecked());
    EXPECT_TRUE(views.mirrorDisplayFont->isChecked());
}

TEST_F(ViewCommands, PageSetupWorksWithoutADocumentAndStoresTheHeaderAndFooter) {
    ASSERT_EQ(frame_->ActiveChild(), nullptr);
    WhenDialog([](QDialog& dialog) {
        Find<QLineEdit>(dialog, "header").setText("Trace &f");
        Find<QLineEdit>(dialog, "footer").setText("- &p -");
        Find<QPushButton>(dialog, "okButton").click();
    });
    Trigger(frame_->Actions().views.pageSetup);
    EXPECT_EQ(frame_->App().View().header, "Trace &f");
    EXPECT_EQ(frame_->App().View().footer, "- &p -");
}

}  // namespace
}  // namespace qorval::analyser::testing
