// The capture window's view settings, fonts, Page Setup and printing, one function per menu
// item, for the main window to call:
//
//   View > "&Word Wrap"               ToggleWordWrap          (marked: settings.wordWrap)
//   View > "Set Ta&b Stops..."        RunSetTabStopsDialog
//   View > "Set &Font..."             RunSetFontDialog
//   View > "Set &Printer Font..."     RunSetPrinterFontDialog (marked: HasPrinterFont)
//   View > "&Mirror Display Font"     MirrorDisplayFont       (marked: !HasPrinterFont)
//   File > "Page Se&tup..."           RunPageSetupDialog      (also without a document)
//   File > "&Print..."                PrintView
//   File > "Print Pre&view"           PreviewView
//   File > "P&rint Setup..."          RunPrintSetupDialog
//   a new capture or text view        ApplyViewSettings
//   printing a file named on the command line (no dialog)   PrintOnPrinter
//
// The settings are the program-wide ViewSettings the main window loaded at start-up (and
// writes back at exit when they changed); each command changes them and the view it is given.
// The 0xFFFFF text limit and its trimming stay with the document. Boxes go through `messages`
// with the program's caption.
#pragma once

#include <QString>
#include <functional>
#include <memory>
#include <string>

#include "analyser/settings.h"

class QPlainTextEdit;
class QPrinter;
class QWidget;

namespace qorval::ui {
class UserMessages;
}

namespace qorval::analyser::views {

inline constexpr const char* kNoPrinterDefaults = "Cannot get printer device defaults.";
inline constexpr const char* kNoPrinterContext = "Cannot get printer device context.";
// File > "P&rint Setup..." (not "Page Setup": that is the header and footer dialog).
inline constexpr const char* kPrintSetupCaption = "Print Setup";

// The printer of this run: made on first use from the system's default print queue, or, when
// the system has none, Qt's PDF output (printing to a file); kept for the run so Print Setup
// and the print dialog's choices hold for the next print. Tests give their own factory.
class PrinterSession {
  public:
    using Factory = std::function<std::unique_ptr<QPrinter>()>;
    PrinterSession();
    explicit PrinterSession(Factory factory);
    ~PrinterSession();
    PrinterSession(const PrinterSession&) = delete;
    PrinterSession& operator=(const PrinterSession&) = delete;

    // nullptr when no printer can be had.
    QPrinter* Printer();

  private:
    Factory factory_;
    std::unique_ptr<QPrinter> printer_;
};

// The system's default printer as PrinterSession makes it.
std::unique_ptr<QPrinter> MakeDefaultPrinter();

// What a print needs besides the view: the settings and the name "&f" prints (the document's
// path, or its title when it has none).
struct PrintRequest {
    const ViewSettings& settings;
    std::string documentName;
};

// Word wrap, display font and tab stops of the settings on a view just made.
void ApplyViewSettings(QPlainTextEdit& view, const ViewSettings& settings);

// Switches the view's word wrap, keeping its text, font, tab stops, selection, the text at the
// top of the window and the focus, and stores the new state in the settings.
void ToggleWordWrap(QPlainTextEdit& view, ViewSettings& settings);

// "Set Tab Stops": 1 to 16; OK sets the view's tab stops to the value × 4 dialog units.
void RunSetTabStopsDialog(QPlainTextEdit& view, QWidget* parent, ViewSettings& settings,
                          ui::UserMessages& messages);

// The font dialog, from the view's font; OK gives the view the font and stores it.
void RunSetFontDialog(QPlainTextEdit& view, QWidget* parent, ViewSettings& settings);

// The font dialog for the printer, its font shown at screen size; OK stores the choice in the
// printer's units. Without a printer: a beep and "Cannot get printer device defaults." (or
// "... context." when the printer reports no resolution).
void RunSetPrinterFontDialog(QPlainTextEdit& view, QWidget* parent, PrinterSession& printers,
                             ViewSettings& settings, ui::UserMessages& messages);

inline bool HasPrinterFont(const ViewSettings& settings) {
    return settings.printFont.height != 0;
}

// Drops the printer font, so printing uses the display font; nothing when there is none.
void MirrorDisplayFont(ViewSettings& settings);

// "Page Setup": OK stores the header and footer.
void RunPageSetupDialog(QWidget* parent, ViewSettings& settings);

// The print dialog, then the view's text on the chosen printer.
void PrintView(QPlainTextEdit& view, QWidget* parent, PrinterSession& printers,
               const PrintRequest& request, ui::UserMessages& messages);

// Print preview of the whole text, opened at the page that holds the selection's start.
void PreviewView(QPlainTextEdit& view, QWidget* parent, PrinterSession& printers,
                 const PrintRequest& request, ui::UserMessages& messages);

// The page set-up dialog of the session's printer.
void RunPrintSetupDialog(QWidget* parent, PrinterSession& printers, ui::UserMessages& messages);

// Prints the view's text on `printer` with the header, footer and page breaks of
// analyser/page_layout.h and analyser/print_pages.h; the printer's page range is honoured.
// False (after "Cannot get printer device context.") when printing cannot begin.
bool PrintOnPrinter(QPlainTextEdit& view, QPrinter& printer, const PrintRequest& request,
                    ui::UserMessages& messages);

}  // namespace qorval::analyser::views
