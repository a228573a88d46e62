// The settings every view shares: applied to a new view, word wrap switched in place, the
// printer font dropped, and the profile's logical fonts as Qt fonts and back.
#include <gtest/gtest.h>

#include <QFontMetrics>
#include <QScrollBar>
#include <QTest>
#include <QTextCursor>

#include "analyser/window/views/tests/views_test_fixture.h"
#include "analyser/window/views/view_parts.h"
#include "platform/window/qt_user_messages.h"

namespace qorval::analyser::views::testing {
namespace {

using ViewSettingsTest = ViewTest;

int TopPosition(QPlainTextEdit& view) {
    return view.cursorForPosition(QPoint(0, 0)).position();
}

TEST_F(ViewSettingsTest, ANewViewTakesTheFontTabStopsAndWordWrapOfTheSettings) {
    EXPECT_EQ(view_->lineWrapMode(), QPlainTextEdit::NoWrap);
    EXPECT_EQ(view_->font().pixelSize(), 16);
    EXPECT_EQ(view_->font().family(), "DejaVu Sans Mono");
    // The default 32 dialog units are 8 characters of the monospaced font.
    EXPECT_DOUBLE_EQ(view_->tabStopDistance(),
                     8 * QFontMetricsF(view_->font()).horizontalAdvance(QLatin1Char('x')));

    ToggleWordWrap(*view_, settings_);
    QPlainTextEdit later;
    ApplyViewSettings(later, settings_);
    EXPECT_EQ(later.lineWrapMode(), QPlainTextEdit::WidgetWidth) << "starts wrapped";
    EXPECT_EQ(later.horizontalScrollBarPolicy(), Qt::ScrollBarAlwaysOff);
}

TEST_F(ViewSettingsTest, ANewViewWithoutASavedFontKeepsTheEditorsFont) {
    QPlainTextEdit plain;
    const QFont before = plain.font();
    ApplyViewSettings(plain, ViewSettings{});
    EXPECT_EQ(plain.font(), before);
}

TEST_F(ViewSettingsTest, WordWrapKeepsTextFontTabsSelectionTopLineAndFocus) {
    QString text;
    for (int i = 0; i < 200; ++i) {
        text += QString("%1 %2\n").arg(i, 4, 10, QChar('0')).arg(QString(30, 'x').repeated(4));
    }
    view_->setPlainText(text);
    settings_.tabStops = 12;
    ApplyTabStops(*view_, settings_.tabStops);
    window_.activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(&window_));
    view_->setFocus();
    ASSERT_TRUE(view_->hasFocus());
    QTextCursor selection(view_->document());
    selection.setPosition(10);
    selection.setPosition(25, QTextCursor::KeepAnchor);
    view_->setTextCursor(selection);
    view_->verticalScrollBar()->setValue(120);
    const int top = TopPosition(*view_);
    ASSERT_GT(top, 0);
    const QFont font = view_->font();
    const qreal tabs = view_->tabStopDistance();

    for (const bool wrapped : {true, false}) {
        ToggleWordWrap(*view_, settings_);
        EXPECT_EQ(settings_.wordWrap, wrapped);
        EXPECT_EQ(view_->lineWrapMode(),
                  wrapped ? QPlainTextEdit::WidgetWidth : QPlainTextEdit::NoWrap);
        EXPECT_EQ(view_->toPlainText(), text);
        EXPECT_EQ(view_->font(), font);
        EXPECT_EQ(view_->tabStopDistance(), tabs);
        EXPECT_EQ(view_->textCursor().anchor(), 10);
        EXPECT_EQ(view_->textCursor().position(), 25);
        EXPECT_EQ(TopPosition(*view_), top) << "the same line stays at the top";
        EXPECT_TRUE(view_->hasFocus());
    }
}

TEST_F(ViewSettingsTest, MirrorDisplayFontDropsOnlyAPrinterFontThatExists) {
    const ViewSettings none = settings_;
    MirrorDisplayFont(settings_);
    EXPECT_EQ(settings_, none) << "nothing to drop";

    settings_.printFont = FontSetting{-200, 700, 1, 0, 0x31, "DejaVu Serif"};
    EXPECT_TRUE(HasPrinterFont(settings_));
    MirrorDisplayFont(settings_);
    EXPECT_FALSE(HasPrinterFont(settings_));
    EXPECT_EQ(settings_.printFont.faceName, "DejaVu Serif") << "only the height is cleared";
}

TEST(FontSettingTest, AFontSurvivesTheWayToQtAndBack) {
    const FontSetting bold{-23, 700, 1, 1, 0x12, "DejaVu Serif"};
    const FontSetting back = ToFontSetting(ToQFont(bold, QFont()), 96);
    EXPECT_EQ(back.height, -23);
    EXPECT_EQ(back.weight, 700);
    EXPECT_EQ(back.italic, 1);
    EXPECT_EQ(back.underline, 1);
    EXPECT_EQ(back.pitchAndFamily & 0xF0, 0x10);
    EXPECT_EQ(back.faceName, "DejaVu Serif");

    QFont points("DejaVu Sans");
    points.setPointSize(12);
    EXPECT_EQ(ToFontSetting(points, 96).height, -16) << "points become pixels";
    EXPECT_EQ(ToFontSetting(points, 600).height, -100);
}

TEST(FontSettingTest, ALongFaceNameIsCutAt31BytesBetweenCharacters) {
    QFont font;
    font.setFamily(QString(20, QChar(0x00C9)));  // two bytes each in UTF-8
    const std::string face = ToFontSetting(font, 96).faceName;
    EXPECT_EQ(face.size(), 30u);
    EXPECT_EQ(ui::ToQString(face), QString(15, QChar(0x00C9)));
}

}  // namespace
}  // namespace qorval::analyser::views::testing
