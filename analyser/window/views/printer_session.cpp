// The run's printer: the system's default print queue, or Qt's PDF output when there is none.
#include <QDir>
#include <QPrinter>
#include <QPrinterInfo>

#include "analyser/window/views/analyser_views.h"

namespace qorval::analyser::views {

std::unique_ptr<QPrinter> MakeDefaultPrinter() {
    const QPrinterInfo queue = QPrinterInfo::defaultPrinter();
    if (!queue.isNull()) {
        return std::make_unique<QPrinter>(queue, QPrinter::HighResolution);
    }
    auto printer = std::make_unique<QPrinter>(QPrinter::HighResolution);
    printer->setOutputFormat(QPrinter::PdfFormat);
    printer->setOutputFileName(QDir::home().filePath("lombex32.pdf"));
    return printer;
}

PrinterSession::PrinterSession() : PrinterSession(MakeDefaultPrinter) {}

PrinterSession::PrinterSession(Factory factory) : factory_(std::move(factory)) {}

PrinterSession::~PrinterSession() = default;

QPrinter* PrinterSession::Printer() {
    if (printer_ == nullptr && factory_) {
        printer_ = factory_();
    }
    return printer_.get();
}

}  // namespace qorval::analyser::views
