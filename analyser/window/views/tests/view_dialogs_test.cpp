// "Set Tab Stops" and "Page Setup": their fields, what OK stores, what Cancel and refused
// entries leave alone.
#include <gtest/gtest.h>

#include <QFontMetrics>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>

#include "analyser/window/views/tests/views_test_fixture.h"
#include "platform/window/qt_user_messages.h"
#include "platform/window/testing/screenshot.h"

namespace qorval::analyser::views::testing {
namespace {

using TabStopsDialogTest = ViewTest;

TEST_F(TabStopsDialogTest, ShowsTheSettingInCharactersAndOkSetsTheView) {
    WhenDialog([](QDialog& dialog) {
        EXPECT_EQ(dialog.windowTitle(), "Set Tab Stops");
        EXPECT_EQ(Find<QLineEdit>(dialog, "tabStops").text(), "8") << "32 dialog units";
        EXPECT_NE(dialog.findChild<QLabel*>(), nullptr);
        EXPECT_EQ(dialog.findChild<QLabel*>()->text(), "Tab Stops:");
        EXPECT_TRUE(ui::testing::SaveScreenshot(dialog, "lombex32-set-tab-stops"));
        Find<QLineEdit>(dialog, "tabStops").setText("4");
        Find<QPushButton>(dialog, "okButton").click();
    });
    RunSetTabStopsDialog(*view_, &window_, settings_, messages_);
    EXPECT_EQ(settings_.tabStops, 16);
    EXPECT_TRUE(messages_.shown.empty());
}

// Stops of 4 in a monospaced font are every 4 characters: the text with tabs looks exactly as
// the same text with spaces up to the columns the tabs reach.
TEST_F(TabStopsDialogTest, TabsLandOnTheColumnsOfAMonospacedFont) {
    QFont mono(QStringLiteral("DejaVu Sans Mono"));
    mono.setPixelSize(16);  // its characters are 9.6 pixels wide, its "average" 10
    view_->setFont(mono);
    view_->setPlainText(QStringLiteral("line\twith\ttabs\n\tx\nlonger line\ty"));
    WhenDialog([](QDialog& dialog) {
        Find<QLineEdit>(dialog, "tabStops").setText("4");
        Find<QPushButton>(dialog, "okButton").click();
    });
    RunSetTabStopsDialog(*view_, &window_, settings_, messages_);
    ASSERT_EQ(settings_.tabStops, 16);

    view_->setCursorWidth(0);  // only the text is compared
    const QImage withTabs = view_->viewport()->grab().toImage();
    view_->setPlainText(QStringLiteral("line    with    tabs\n    x\nlonger line y"));
    const QImage withSpaces = view_->viewport()->grab().toImage();
    EXPECT_TRUE(withTabs == withSpaces) << "the tab stops are not on character columns";
}

TEST_F(TabStopsDialogTest, RefusesNothingBelowOneOrAboveSixteenAndStaysOpen) {
    for (const char* entry : {"0", "17", "-3", "8x", ""}) {
        messages_.shown.clear();
        bool stayedOpen = false;
        WhenDialog([&](QDialog& dialog) {
            auto& edit = Find<QLineEdit>(dialog, "tabStops");
            edit.setText(entry);
            Find<QPushButton>(dialog, "okButton").click();
            stayedOpen = dialog.isVisible();
            EXPECT_EQ(edit.selectedText(), edit.text()) << "ready to be typed over";
            edit.setText(entry[0] == '1' ? "16" : "1");  // the limits themselves are taken
            Find<QPushButton>(dialog, "okButton").click();
        });
        RunSetTabStopsDialog(*view_, &window_, settings_, messages_);
        EXPECT_TRUE(stayedOpen) << entry;
        EXPECT_EQ(messages_.Texts(),
                  std::vector<std::string>{"Please enter an integer between 1 and 16."})
            << entry;
        EXPECT_EQ(settings_.tabStops, entry[0] == '1' ? 64 : 4) << entry;
    }
}

TEST_F(TabStopsDialogTest, CancelChangesNothing) {
    const qreal before = view_->tabStopDistance();
    WhenDialog([](QDialog& dialog) {
        Find<QLineEdit>(dialog, "tabStops").setText("2");
        Find<QPushButton>(dialog, "cancelButton").click();
    });
    RunSetTabStopsDialog(*view_, &window_, settings_, messages_);
    EXPECT_EQ(settings_.tabStops, 32);
    EXPECT_EQ(view_->tabStopDistance(), before);
}

using PageSetupDialogTest = ViewTest;

TEST_F(PageSetupDialogTest, ShowsTheHeaderAndFooterAndOkStoresBoth) {
    WhenDialog([](QDialog& dialog) {
        EXPECT_EQ(dialog.windowTitle(), "Page Setup");
        EXPECT_EQ(Find<QLineEdit>(dialog, "header").text(), "File: &f");
        EXPECT_EQ(Find<QLineEdit>(dialog, "footer").text(), "Page: &p");
        EXPECT_TRUE(ui::testing::SaveScreenshot(dialog, "lombex32-page-setup"));
        Find<QLineEdit>(dialog, "header").setText("Link \xC3\xA9 &f");
        Find<QLineEdit>(dialog, "footer").setText("");
        Find<QPushButton>(dialog, "okButton").click();
    });
    RunPageSetupDialog(&window_, settings_);
    EXPECT_EQ(settings_.header, "Link \xC3\xA9 &f");
    EXPECT_EQ(settings_.footer, "");
}

TEST_F(PageSetupDialogTest, CancelKeepsBothTexts) {
    WhenDialog([](QDialog& dialog) {
        Find<QLineEdit>(dialog, "header").setText("changed");
        Find<QPushButton>(dialog, "cancelButton").click();
    });
    RunPageSetupDialog(nullptr, settings_);  // also without a document window
    EXPECT_EQ(settings_.header, "File: &f");
    EXPECT_EQ(settings_.footer, "Page: &p");
}

}  // namespace
}  // namespace qorval::analyser::views::testing
