// Printing a capture window to PDF files and reading them back with pdftotext: the header and
// footer with their fields on every page, the lines each page holds, the page range, the
// printer font, print preview's first page, and the boxes when printing cannot be done.
#include <gtest/gtest.h>

#include <QFile>
#include <QPrintPreviewWidget>
#include <QProcess>
#include <QTextCursor>
#include <regex>

#include "analyser/window/views/print_plan.h"
#include "analyser/window/views/tests/views_test_fixture.h"
#include "platform/window/testing/screenshot.h"

namespace qorval::analyser::views::testing {
namespace {

constexpr const char* kDocument = "/var/captures/link&p.txt";

using Page = std::vector<std::string>;

std::string Squeezed(const std::string& text) {
    return std::regex_replace(text, std::regex(" +"), " ");
}

// The printed lines of each page of a plan, as pdftotext gives them back.
std::vector<Page> PlannedBodies(const PrintPlan& plan) {
    std::vector<Page> bodies;
    for (const PrintPage& page : plan.pages) {
        Page body;
        for (size_t i = 0; i < page.lineCount; ++i) {
            const PrintLine& line = plan.lines[page.firstLine + i];
            body.push_back(Squeezed(plan.text.mid(static_cast<qsizetype>(line.begin),
                                                  static_cast<qsizetype>(line.end - line.begin))
                                        .trimmed()
                                        .toStdString()));
        }
        bodies.push_back(body);
    }
    return bodies;
}

Page Squeezed(Page page) {
    for (std::string& line : page) {
        line = Squeezed(line);
    }
    return page;
}

class PrintingTest : public ViewTest {
  protected:
    PrintingTest() {
        QString words;
        for (int i = 0; i < 60; ++i) {
            words += QString("frame%1 ").arg(i);
        }
        longLine_ = words.trimmed();
        view_->setPlainText(NumberedLines(130) + "\n" + longLine_ + "\nlast line");
    }

    // Prints to a new PDF file and returns its pages.
    std::vector<Page> PrintPages(const char* name, QPrinter* printer = nullptr) {
        std::unique_ptr<QPrinter> own;
        if (printer == nullptr) {
            own = PdfPrinter(TempPath(name));
            printer = own.get();
        }
        EXPECT_TRUE(PrintOnPrinter(*view_, *printer, Request(), messages_));
        return PdfPages(printer->outputFileName());
    }

    PrintRequest Request() const { return {settings_, kDocument}; }

    QString longLine_;
};

TEST_F(PrintingTest, EveryPageHasItsHeaderAndFooterAndTheLinesOfItsPage) {
    settings_.header = "File: &f (&f)";
    settings_.footer = "Page: &p of &p";
    auto printer = PdfPrinter(TempPath("capture.pdf"));
    const PrintPlan plan = PlanPrint(*view_, *printer, Request());
    ASSERT_GE(plan.pages.size(), 3u);
    const std::vector<Page> pages = PrintPages("capture.pdf", printer.get());
    ASSERT_EQ(pages.size(), plan.pages.size());

    const std::vector<Page> bodies = PlannedBodies(plan);
    std::vector<std::string> printed;
    for (size_t k = 0; k < pages.size(); ++k) {
        ASSERT_GE(pages[k].size(), 3u) << "page " << k + 1;
        EXPECT_EQ(pages[k].front(), "File: /var/captures/link&p.txt (&f)");
        EXPECT_EQ(pages[k].back(), "Page: " + std::to_string(k + 1) + " of &p");
        const Page body = Squeezed(Page(pages[k].begin() + 1, pages[k].end() - 1));
        EXPECT_EQ(body, bodies[k]) << "page " << k + 1;
        printed.insert(printed.end(), body.begin(), body.end());
    }
    // Read in order, the pages give back the whole text: each numbered line once, and the
    // long line wrapped into pieces that join up again.
    ASSERT_GT(printed.size(), 133u);
    for (int i = 0; i < 130; ++i) {
        EXPECT_EQ(printed[i], QString("line %1 of the capture").arg(i + 1, 3, 10, QChar('0'))
                                  .toStdString());
    }
    std::string joined;
    for (size_t i = 130; i + 1 < printed.size(); ++i) {
        joined += (joined.empty() ? "" : " ") + printed[i];
    }
    EXPECT_EQ(joined, longLine_.toStdString());
    EXPECT_EQ(printed.back(), "last line");
}

TEST_F(PrintingTest, EmptyBandsLeaveTheirSpaceToTheText) {
    auto printer = PdfPrinter(TempPath("bands.pdf"));
    const size_t withBands = PlanPrint(*view_, *printer, Request()).pages[0].lineCount;

    settings_.header = "";
    const std::vector<Page> footerOnly = PrintPages("footer-only.pdf");
    EXPECT_EQ(footerOnly[0].front(), "line 001 of the capture");
    EXPECT_EQ(footerOnly[0].back(), "Page: 1");
    const size_t withFooter = PlanPrint(*view_, *printer, Request()).pages[0].lineCount;

    settings_.footer = "";
    const std::vector<Page> none = PrintPages("no-bands.pdf");
    EXPECT_EQ(none[0].front(), "line 001 of the capture");
    EXPECT_EQ(none[0].size(), PlanPrint(*view_, *printer, Request()).pages[0].lineCount);
    EXPECT_GT(none[0].size(), withFooter);
    EXPECT_GT(withFooter, withBands);
}

TEST_F(PrintingTest, APageRangePrintsOnlyThosePagesWithTheirOwnNumbers) {
    auto printer = PdfPrinter(TempPath("range.pdf"));
    printer->setPrintRange(QPrinter::PageRange);
    printer->setFromTo(2, 3);
    const std::vector<Page> pages = PrintPages("range.pdf", printer.get());
    ASSERT_EQ(pages.size(), 2u);
    EXPECT_EQ(pages[0].back(), "Page: 2");
    EXPECT_EQ(pages[1].back(), "Page: 3");
}

TEST_F(PrintingTest, AnEmptyTextPrintsOnePageWithItsBands) {
    view_->clear();
    const std::vector<Page> pages = PrintPages("empty.pdf");
    ASSERT_EQ(pages.size(), 1u);
    EXPECT_EQ(pages[0], (Page{"File: /var/captures/link&p.txt", "Page: 1"}));
}

std::string FontsOf(const QString& pdf) {
    QProcess process;
    process.start("pdffonts", {pdf});
    EXPECT_TRUE(process.waitForFinished(60000));
    return process.readAllStandardOutput().toStdString();
}

TEST_F(PrintingTest, ThePrinterFontPrintsUntilMirrorDisplayFontDropsIt) {
    settings_.printFont = FontSetting{-150, 400, 0, 0, 0x12, "DejaVu Serif"};
    auto printer = PdfPrinter(TempPath("printer-font.pdf"));
    EXPECT_EQ(PlanPrint(*view_, *printer, Request()).font.pixelSize(), 150);
    PrintPages("printer-font.pdf", printer.get());
    EXPECT_NE(FontsOf(TempPath("printer-font.pdf")).find("DejaVuSerif"), std::string::npos);

    MirrorDisplayFont(settings_);
    PrintPages("display-font.pdf");
    const std::string fonts = FontsOf(TempPath("display-font.pdf"));
    EXPECT_NE(fonts.find("DejaVuSansMono"), std::string::npos);
    EXPECT_EQ(fonts.find("DejaVuSerif"), std::string::npos);
}

TEST_F(PrintingTest, APrinterThatCannotStartSaysSoAndPrintsNothing) {
    auto printer = PdfPrinter(TempPath("missing-folder/capture.pdf"));
    EXPECT_FALSE(PrintOnPrinter(*view_, *printer, Request(), messages_));
    EXPECT_EQ(messages_.Texts(), std::vector<std::string>{"Cannot get printer device context."});
    EXPECT_FALSE(QFile::exists(printer->outputFileName()));
}

TEST_F(PrintingTest, NoPrinterMeansTheDefaultsBoxAndNoDialog) {
    PrinterSession none([] { return std::unique_ptr<QPrinter>(); });
    {
        const NoModalGuard guard;
        PrintView(*view_, &window_, none, Request(), messages_);
        PreviewView(*view_, &window_, none, Request(), messages_);
    }
    EXPECT_EQ(messages_.Texts(),
              std::vector<std::string>(2, "Cannot get printer device defaults."));
}

TEST_F(PrintingTest, ThePrintDialogPrintsWhereItIsSentAndCancelPrintsNothing) {
    PrinterSession printers([this] { return PdfPrinter(TempPath("dialog.pdf")); });
    WhenDialog([](QDialog& dialog) { dialog.reject(); });
    PrintView(*view_, &window_, printers, Request(), messages_);
    EXPECT_FALSE(QFile::exists(TempPath("dialog.pdf")));

    WhenDialog([](QDialog& dialog) {
        EXPECT_TRUE(ui::testing::SaveScreenshot(dialog, "lombex32-print"));
        dialog.accept();
    });
    PrintView(*view_, &window_, printers, Request(), messages_);
    const std::vector<Page> pages = PdfPages(TempPath("dialog.pdf"));
    ASSERT_FALSE(pages.empty());
    EXPECT_EQ(pages[0][1], "line 001 of the capture");
    EXPECT_TRUE(messages_.shown.empty());
}

TEST_F(PrintingTest, PreviewOpensAtThePageThatHoldsTheSelection) {
    PrinterSession printers([this] { return PdfPrinter(TempPath("preview.pdf")); });
    const PrintPlan plan = PlanPrint(*view_, *printers.Printer(), Request());
    ASSERT_GE(plan.pages.size(), 3u);
    const size_t secondLast = plan.pages[1].firstLine + plan.pages[1].lineCount - 1;
    QTextCursor selection(view_->document());
    selection.setPosition(QString::fromUtf8(plan.text.left(plan.lines[secondLast].begin + 3)).size());
    selection.movePosition(QTextCursor::Down, QTextCursor::KeepAnchor, 5);
    view_->setTextCursor(selection);

    int current = 0;
    int count = 0;
    WhenDialog([&](QDialog& dialog) {
        auto* preview = dialog.findChild<QPrintPreviewWidget*>();
        ASSERT_NE(preview, nullptr);
        current = preview->currentPage();
        count = preview->pageCount();
        EXPECT_TRUE(ui::testing::SaveScreenshot(dialog, "lombex32-print-preview"));
        dialog.reject();
    });
    PreviewView(*view_, &window_, printers, Request(), messages_);
    EXPECT_EQ(current, 2) << "the selection starts on page 2 and runs into page 3";
    EXPECT_EQ(count, static_cast<int>(plan.pages.size()));
    EXPECT_FALSE(QFile::exists(TempPath("preview.pdf"))) << "a preview prints nothing";
}

}  // namespace
}  // namespace qorval::analyser::views::testing
