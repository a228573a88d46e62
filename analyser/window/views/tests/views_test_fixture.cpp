#include "analyser/window/views/tests/views_test_fixture.h"

#include <QPageLayout>
#include <QPageSize>
#include <QProcess>
#include <QVBoxLayout>
#include <sstream>

#include "platform/window/qt_user_messages.h"

namespace qorval::analyser::views::testing {

std::unique_ptr<QPrinter> PdfPrinter(const QString& path) {
    auto printer = std::make_unique<QPrinter>(QPrinter::HighResolution);
    printer->setOutputFormat(QPrinter::PdfFormat);
    printer->setOutputFileName(path);
    printer->setPageSize(QPageSize(QPageSize::A4));
    printer->setPageMargins(QMarginsF(15, 15, 15, 15), QPageLayout::Millimeter);
    return printer;
}

std::vector<std::vector<std::string>> PdfPages(const QString& path) {
    QProcess process;
    process.start("pdftotext", {"-layout", path, "-"});
    EXPECT_TRUE(process.waitForFinished(60000)) << "pdftotext did not finish";
    EXPECT_EQ(process.exitCode(), 0) << process.readAllStandardError().toStdString();
    const std::string text = process.readAllStandardOutput().toStdString();
    std::vector<std::vector<std::string>> pages(1);
    std::string line;
    const auto take = [&] {
        const size_t first = line.find_first_not_of(' ');
        if (first != std::string::npos) {
            pages.back().push_back(line.substr(first, line.find_last_not_of(' ') - first + 1));
        }
        line.clear();
    };
    for (const char c : text) {
        if (c == '\n') {
            take();
        } else if (c == '\f') {
            take();
            pages.emplace_back();
        } else {
            line += c;
        }
    }
    take();
    if (pages.back().empty()) {
        pages.pop_back();  // pdftotext ends every page with a form feed
    }
    return pages;
}

ViewTest::ViewTest() : view_(new QPlainTextEdit(&window_)) {
    auto* layout = new QVBoxLayout(&window_);
    layout->addWidget(view_);
    window_.resize(640, 400);
    settings_.font = FontSetting{-16, 400, 0, 0, 0x31, "DejaVu Sans Mono"};
    ApplyViewSettings(*view_, settings_);
    window_.show();
}

QString ViewTest::NumberedLines(int count) {
    QStringList lines;
    for (int i = 1; i <= count; ++i) {
        lines << QString("line %1 of the capture").arg(i, 3, 10, QChar('0'));
    }
    return lines.join('\n');
}

}  // namespace qorval::analyser::views::testing
