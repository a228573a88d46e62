// "Set Font" and "Set Printer Font": the font each dialog starts from, what OK stores (the
// printer font in the printer's units), Cancel, and the boxes when no printer can be had.
#include <gtest/gtest.h>

#include <QFontMetrics>

#include <QFontDialog>
#include <cmath>

#include "analyser/print_pages.h"
#include "analyser/window/views/tests/views_test_fixture.h"
#include "platform/window/testing/screenshot.h"

namespace qorval::analyser::views::testing {
namespace {

// Chooses `font` in the next font dialog and presses OK (or Cancel); what the dialog showed
// first goes to `shown`.
void ChooseInFontDialog(const QFont& font, QFont* shown, const char* screenshot = nullptr,
                        bool ok = true) {
    WhenDialog([=](QDialog& dialog) {
        auto* fonts = qobject_cast<QFontDialog*>(&dialog);
        ASSERT_NE(fonts, nullptr) << "not a font dialog";
        *shown = fonts->currentFont();
        if (screenshot != nullptr) {
            EXPECT_TRUE(ui::testing::SaveScreenshot(dialog, screenshot));
        }
        fonts->setCurrentFont(font);
        ok ? fonts->accept() : fonts->reject();
    });
}

int PixelsOf(int points, int dpi) {
    return static_cast<int>(std::lround(points * dpi / 72.0));
}

using FontDialogTest = ViewTest;

TEST_F(FontDialogTest, SetFontStartsFromTheViewsFontAndOkGivesTheViewTheChoice) {
    const int dpi = view_->logicalDpiY();
    QFont shown;
    ChooseInFontDialog(QFont("DejaVu Serif", 14, QFont::Bold), &shown, "lombex32-set-font");
    RunSetFontDialog(*view_, &window_, settings_);
    EXPECT_EQ(shown.family(), "DejaVu Sans Mono");
    EXPECT_NEAR(shown.pointSizeF(), 16 * 72.0 / dpi, 0.5);

    EXPECT_EQ(settings_.font.height, -PixelsOf(14, dpi));
    EXPECT_EQ(settings_.font.weight, 700);
    EXPECT_EQ(settings_.font.faceName, "DejaVu Serif");
    EXPECT_EQ(view_->font().family(), "DejaVu Serif");
    EXPECT_EQ(view_->font().pixelSize(), PixelsOf(14, dpi));
    const QString letters = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz";
    EXPECT_NEAR(view_->tabStopDistance(),
                8 * QFontMetricsF(view_->font()).horizontalAdvance(letters) / 52, 0.01)
        << "tab stops follow the new font: 8 of its average letters";
    EXPECT_FALSE(HasPrinterFont(settings_)) << "the printer font is not touched";
}

TEST_F(FontDialogTest, CancelKeepsTheFont) {
    const ViewSettings before = settings_;
    const QFont font = view_->font();
    QFont shown;
    ChooseInFontDialog(QFont("DejaVu Serif", 30), &shown, nullptr, false);
    RunSetFontDialog(*view_, &window_, settings_);
    EXPECT_EQ(settings_, before);
    EXPECT_EQ(view_->font(), font);
}

TEST_F(FontDialogTest, ThePrinterFontIsShownAtScreenSizeAndStoredInPrinterUnits) {
    PrinterSession printers([this] { return PdfPrinter(TempPath("fonts.pdf")); });
    const int printerDpi = printers.Printer()->logicalDpiY();
    const int dpi = view_->logicalDpiY();
    ASSERT_EQ(printerDpi, 1200);
    settings_.printFont = FontSetting{ScaleFontHeight(-PixelsOf(12, dpi), dpi, printerDpi), 400, 0, 0, 0x22, "DejaVu Sans"};
    QFont shown;
    ChooseInFontDialog(QFont("DejaVu Serif", 15), &shown, "lombex32-set-printer-font");
    RunSetPrinterFontDialog(*view_, &window_, printers, settings_, messages_);
    EXPECT_EQ(shown.family(), "DejaVu Sans");
    EXPECT_EQ(shown.pointSize(), 12) << "the printer's font at its size on the screen";
    EXPECT_EQ(settings_.printFont.height, ScaleFontHeight(-PixelsOf(15, dpi), dpi, printerDpi));
    EXPECT_EQ(settings_.printFont.faceName, "DejaVu Serif");
    EXPECT_EQ(settings_.font.faceName, "DejaVu Sans Mono") << "the display font is not touched";
    EXPECT_TRUE(messages_.shown.empty());
}

TEST_F(FontDialogTest, WithoutAPrinterFontThePrinterDialogStartsFromTheDisplayFont) {
    PrinterSession printers([this] { return PdfPrinter(TempPath("fonts.pdf")); });
    QFont shown;
    ChooseInFontDialog(QFont("DejaVu Serif", 15), &shown, nullptr, false);
    RunSetPrinterFontDialog(*view_, &window_, printers, settings_, messages_);
    EXPECT_EQ(shown.family(), "DejaVu Sans Mono");
    EXPECT_FALSE(HasPrinterFont(settings_)) << "Cancel stores nothing";
}

TEST_F(FontDialogTest, NoPrinterMeansTheDefaultsBoxAndNoDialog) {
    PrinterSession none([] { return std::unique_ptr<QPrinter>(); });
    const ViewSettings before = settings_;
    {
        const NoModalGuard guard;
        RunSetPrinterFontDialog(*view_, &window_, none, settings_, messages_);
        RunPrintSetupDialog(&window_, none, messages_);
    }
    ASSERT_EQ(messages_.shown.size(), 2u);
    EXPECT_EQ(messages_.shown[0].text, "Cannot get printer device defaults.");
    EXPECT_EQ(messages_.shown[0].caption, "Lombex for NT");
    EXPECT_EQ(messages_.shown[1].text, "Cannot get printer device defaults.");
    EXPECT_EQ(settings_, before);
}

}  // namespace
}  // namespace qorval::analyser::views::testing
