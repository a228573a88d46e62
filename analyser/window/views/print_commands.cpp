// Print, Print Preview and Print Setup of a capture window.
#include <QPageSetupDialog>
#include <QPainter>
#include <QPlainTextEdit>
#include <QPrintDialog>
#include <QPrintPreviewDialog>
#include <QPrintPreviewWidget>
#include <QPrinter>
#include <algorithm>

#include "analyser/window/views/print_plan.h"
#include "analyser/window/views/view_parts.h"
#include "platform/window/qt_user_messages.h"

namespace qorval::analyser::views {
namespace {

// The session's printer, named after the document; nullptr (after the box) when none.
QPrinter* PrinterFor(PrinterSession& printers, const PrintRequest& request,
                     ui::UserMessages& messages) {
    QPrinter* printer = printers.Printer();
    if (printer == nullptr || !printer->isValid()) {
        ReportPrinterFailure(messages, kNoPrinterDefaults);
        return nullptr;
    }
    printer->setDocName(ui::ToQString(request.documentName));
    return printer;
}

bool PrintPlanned(const PrintPlan& plan, QPrinter& printer, const PrintRequest& request,
                  ui::UserMessages& messages) {
    size_t first = 0;
    size_t last = plan.pages.size() - 1;
    if (printer.printRange() == QPrinter::PageRange && printer.fromPage() > 0) {
        first = static_cast<size_t>(printer.fromPage() - 1);
        last = std::min(last, static_cast<size_t>(std::max(printer.toPage(), 1) - 1));
        if (first > last) {
            return true;  // the range holds none of the pages
        }
    }
    QPainter painter;
    if (!painter.begin(&printer)) {
        ReportPrinterFailure(messages, kNoPrinterContext);
        return false;
    }
    for (size_t page = first; page <= last; ++page) {
        if (page > first) {
            printer.newPage();
        }
        DrawPage(painter, plan, page, request);
    }
    return painter.end();
}

// The selection's start as a byte offset into the view's text in UTF-8.
size_t SelectionStartOffset(QPlainTextEdit& view) {
    const int start = view.textCursor().selectionStart();
    return static_cast<size_t>(view.toPlainText().left(start).toUtf8().size());
}

}  // namespace

bool PrintOnPrinter(QPlainTextEdit& view, QPrinter& printer, const PrintRequest& request,
                    ui::UserMessages& messages) {
    return PrintPlanned(PlanPrint(view, printer, request), printer, request, messages);
}

void PrintView(QPlainTextEdit& view, QWidget* parent, PrinterSession& printers,
               const PrintRequest& request, ui::UserMessages& messages) {
    QPrinter* printer = PrinterFor(printers, request, messages);
    if (printer == nullptr) {
        return;
    }
    QPrintDialog dialog(printer, parent);
    dialog.setObjectName("printDialog");
    if (dialog.exec() == QDialog::Accepted) {
        PrintOnPrinter(view, *printer, request, messages);
    }
}

void PreviewView(QPlainTextEdit& view, QWidget* parent, PrinterSession& printers,
                 const PrintRequest& request, ui::UserMessages& messages) {
    QPrinter* printer = PrinterFor(printers, request, messages);
    if (printer == nullptr) {
        return;
    }
    printer->setPrintRange(QPrinter::AllPages);
    QPrintPreviewDialog dialog(printer, parent);
    dialog.setObjectName("printPreview");
    auto* preview = dialog.findChild<QPrintPreviewWidget*>();
    int startPage = 1;
    bool opened = false;
    QObject::connect(&dialog, &QPrintPreviewDialog::paintRequested, [&](QPrinter* target) {
        const PrintPlan plan = PlanPrint(view, *target, request);
        startPage = static_cast<int>(PageOfOffset(plan.pages, plan.lines,
                                                  SelectionStartOffset(view))) + 1;
        PrintPlanned(plan, *target, request, messages);
    });
    if (preview != nullptr) {
        QObject::connect(preview, &QPrintPreviewWidget::previewChanged, [&] {
            if (!opened) {
                opened = true;
                preview->setCurrentPage(startPage);
            }
        });
    }
    dialog.exec();
}

void RunPrintSetupDialog(QWidget* parent, PrinterSession& printers, ui::UserMessages& messages) {
    QPrinter* printer = printers.Printer();
    if (printer == nullptr || !printer->isValid()) {
        ReportPrinterFailure(messages, kNoPrinterDefaults);
        return;
    }
    QPageSetupDialog dialog(printer, parent);
    dialog.setObjectName("printSetupDialog");
    dialog.setWindowTitle(QString::fromLatin1(kPrintSetupCaption));
    dialog.exec();
}

}  // namespace qorval::analyser::views
