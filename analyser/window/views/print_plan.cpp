#include "analyser/window/views/print_plan.h"

#include <QFontMetrics>
#include <QPainter>
#include <QPlainTextEdit>
#include <QPrinter>
#include <cmath>
#include <memory>
#include <unordered_map>

#include "analyser/window/views/view_parts.h"
#include "platform/window/qt_user_messages.h"

namespace qorval::analyser::views {
namespace {

// The printer font when there is one, else the view's font at the same size on paper.
QFont PrinterFont(QPlainTextEdit& view, QPrinter& printer, const ViewSettings& settings) {
    if (HasPrinterFont(settings)) {
        return QFont(ToQFont(settings.printFont, view.font()), &printer);
    }
    return QFont(InPoints(view.font(), view.logicalDpiY()), &printer);
}

// The printer font's character widths, measured once each.
CharAdvance MeasureOn(const QFont& font, QPrinter& printer) {
    auto metrics = std::make_shared<QFontMetrics>(font, &printer);
    auto widths = std::make_shared<std::unordered_map<char32_t, int>>();
    return [metrics, widths](char32_t c) {
        const auto [at, added] = widths->try_emplace(c, 0);
        if (added) {
            const char32_t one[] = {c};
            at->second = metrics->horizontalAdvance(QString::fromUcs4(one, 1));
        }
        return at->second;
    };
}

QRect ToQRect(const PageRect& rect) {
    return QRect(rect.left, rect.top, rect.width, rect.height);
}

void DrawBand(QPainter& painter, const PageBand& band, const std::string& text) {
    painter.drawText(ToQRect(band.text), Qt::AlignLeft | Qt::AlignTop | Qt::TextSingleLine,
                     ui::ToQString(text));
    painter.drawLine(band.text.left, band.ruleY, band.text.left + band.text.width, band.ruleY);
}

}  // namespace

PrintPlan PlanPrint(QPlainTextEdit& view, QPrinter& printer, const PrintRequest& request) {
    PrintPlan plan;
    plan.font = PrinterFont(view, printer, request.settings);
    const QFontMetrics metrics(plan.font, &printer);
    plan.lineHeight = metrics.lineSpacing();
    plan.ascent = metrics.ascent();
    const QRect page = printer.pageLayout().paintRectPixels(printer.resolution());
    plan.layout = ComputePageLayout({0, 0, page.width(), page.height()}, plan.lineHeight,
                                    !request.settings.header.empty(),
                                    !request.settings.footer.empty());
    plan.text = view.toPlainText().toUtf8();
    plan.metrics = {plan.layout.body.width,
                    static_cast<int>(std::lround(TabDistance(
                        request.settings.tabStops, AverageCharacterWidth(plan.font, &printer)))),
                    MeasureOn(plan.font, printer)};
    const std::string_view text(plan.text.constData(), static_cast<size_t>(plan.text.size()));
    plan.lines = BreakIntoLines(text, plan.metrics);
    plan.pages = Paginate(plan.lines.size(), plan.layout.body.height, plan.lineHeight);
    return plan;
}

void DrawPage(QPainter& painter, const PrintPlan& plan, size_t index,
              const PrintRequest& request) {
    painter.setFont(plan.font);
    const int number = static_cast<int>(index) + 1;
    if (plan.layout.header) {
        DrawBand(painter, *plan.layout.header,
                 SubstitutePageFields(request.settings.header, number, request.documentName));
    }
    if (plan.layout.footer) {
        DrawBand(painter, *plan.layout.footer,
                 SubstitutePageFields(request.settings.footer, number, request.documentName));
    }
    const std::string_view text(plan.text.constData(), static_cast<size_t>(plan.text.size()));
    const PrintPage& page = plan.pages[index];
    for (size_t i = 0; i < page.lineCount; ++i) {
        const PrintLine& line = plan.lines[page.firstLine + i];
        const int baseline =
            plan.layout.body.top + static_cast<int>(i) * plan.lineHeight + plan.ascent;
        for (const LineSegment& segment : LineSegments(text, line, plan.metrics)) {
            painter.drawText(QPoint(plan.layout.body.left + segment.x, baseline),
                             QString::fromUtf8(plan.text.constData() + segment.begin,
                                               static_cast<qsizetype>(segment.end - segment.begin)));
        }
    }
}

}  // namespace qorval::analyser::views
