// "Set Font" and "Set Printer Font". The display font is kept in screen pixels; the printer
// font in the printer's pixels, and shown in the dialog at the size it has on the screen.
#include <QFontDialog>
#include <QPlainTextEdit>
#include <QPrinter>
#include <optional>

#include "analyser/print_pages.h"
#include "analyser/window/views/analyser_views.h"
#include "analyser/window/views/view_parts.h"

namespace qorval::analyser::views {
namespace {

constexpr const char* kFontTitle = "Font";

// The font dialog over `parent`, from `initial` (in points, as the dialog shows sizes); the choice, or nothing on Cancel.
std::optional<QFont> ChooseFont(QWidget* parent, const QFont& initial, const char* objectName) {
    QFontDialog dialog(initial, parent);
    dialog.setObjectName(objectName);
    dialog.setWindowTitle(kFontTitle);
    dialog.setOption(QFontDialog::DontUseNativeDialog);
    if (dialog.exec() != QDialog::Accepted) {
        return std::nullopt;
    }
    return dialog.selectedFont();
}

FontSetting ScaleSetting(FontSetting font, int fromPixelsPerInch, int toPixelsPerInch) {
    font.height = ScaleFontHeight(font.height, fromPixelsPerInch, toPixelsPerInch);
    return font;
}

}  // namespace

void RunSetFontDialog(QPlainTextEdit& view, QWidget* parent, ViewSettings& settings) {
    const std::optional<QFont> chosen =
        ChooseFont(parent, InPoints(view.font(), view.logicalDpiY()), "displayFontDialog");
    if (!chosen) {
        return;
    }
    settings.font = ToFontSetting(*chosen, view.logicalDpiY());
    view.setFont(ToQFont(settings.font, *chosen));
    ApplyTabStops(view, settings.tabStops);
}

void RunSetPrinterFontDialog(QPlainTextEdit& view, QWidget* parent, PrinterSession& printers,
                             ViewSettings& settings, ui::UserMessages& messages) {
    QPrinter* printer = printers.Printer();
    if (printer == nullptr || !printer->isValid()) {
        ReportPrinterFailure(messages, kNoPrinterDefaults);
        return;
    }
    const int printerDpi = printer->logicalDpiY();
    if (printerDpi <= 0) {
        ReportPrinterFailure(messages, kNoPrinterContext);
        return;
    }
    const int screenDpi = view.logicalDpiY();
    // Without a printer font of its own the dialog starts from the display font.
    const FontSetting current = HasPrinterFont(settings)
                                    ? ScaleSetting(settings.printFont, printerDpi, screenDpi)
                                    : ToFontSetting(view.font(), screenDpi);
    const std::optional<QFont> chosen =
        ChooseFont(parent, InPoints(ToQFont(current, view.font()), screenDpi), "printerFontDialog");
    if (!chosen) {
        return;
    }
    settings.printFont = ScaleSetting(ToFontSetting(*chosen, screenDpi), screenDpi, printerDpi);
}

}  // namespace qorval::analyser::views
