// A view's text laid out for one printer: the font, the page layout, the printed lines and
// the pages, so printing and the preview's starting page use the same breaks.
#pragma once

#include <QByteArray>
#include <QFont>
#include <vector>

#include "analyser/page_layout.h"
#include "analyser/print_pages.h"
#include "analyser/window/views/analyser_views.h"

class QPainter;

namespace qorval::analyser::views {

struct PrintPlan {
    QFont font;
    int lineHeight = 0;
    int ascent = 0;
    PageLayout layout;
    QByteArray text;  // UTF-8
    PrintMetrics metrics;
    std::vector<PrintLine> lines;
    std::vector<PrintPage> pages;
};

PrintPlan PlanPrint(QPlainTextEdit& view, QPrinter& printer, const PrintRequest& request);

// Draws page `index` (0-based) of the plan with the page number `index + 1`.
void DrawPage(QPainter& painter, const PrintPlan& plan, size_t index, const PrintRequest& request);

}  // namespace qorval::analyser::views
