#include "analyser/window/shell/command_line.h"

#include <QPrinter>
#include <QPrinterInfo>

#include "analyser/window/shell/main_frame.h"
#include "analyser/window/views/analyser_views.h"
#include "analyser/window/views/view_parts.h"
#include "platform/profile.h"
#include "platform/window/qt_user_messages.h"

namespace qorval::analyser {
namespace {

bool IsSwitch(const QString& argument, const char* name) {
    return argument.size() > 1 && (argument[0] == u'/' || argument[0] == u'-') &&
           argument.mid(1).compare(QLatin1String(name), Qt::CaseInsensitive) == 0;
}

// The printer the command names: the default one (a print queue, or PDF output when the
// system has none), or the print queue of that name.
std::unique_ptr<QPrinter> PrinterFor(const CommandLine& command) {
    if (command.printer.isEmpty()) {
        return views::MakeDefaultPrinter();
    }
    const QPrinterInfo queue = QPrinterInfo::printerInfo(command.printer);
    if (queue.isNull()) {
        return nullptr;
    }
    return std::make_unique<QPrinter>(queue, QPrinter::HighResolution);
}

}  // namespace

std::optional<CommandLine> ParseCommandLine(const QStringList& arguments) {
    CommandLine command;
    if (arguments.isEmpty()) {
        return command;
    }
    if (IsSwitch(arguments[0], "p") && arguments.size() == 2) {
        command.print = true;
        command.file = arguments[1];
        return command;
    }
    // "/pt FILE PRINTER DRIVER PORT": the driver and port name the printer's connection on
    // the system the program comes from; here the printer's name is enough.
    if (IsSwitch(arguments[0], "pt") && arguments.size() >= 3 && arguments.size() <= 5) {
        command.print = true;
        command.file = arguments[1];
        command.printer = arguments[2];
        return command;
    }
    if (IsSwitch(arguments[0], "p") || IsSwitch(arguments[0], "pt")) {
        return std::nullopt;  // a print switch without its file (or printer)
    }
    command.file = arguments[0];  // what follows the file is not used
    return command;
}

bool PrintDocumentFile(CMainFrame& frame, const CommandLine& command,
                       const std::filesystem::path& profile) {
    {
        platform::ProfileFile file(profile);
        frame.App().View() = ReadViewSettings(file);  // before the document's view is made
    }
    if (!frame.OpenDocumentFile(ui::FromQString(command.file))) {
        return false;  // the box said why
    }
    CChildFrame* child = frame.ActiveChild();
    const std::unique_ptr<QPrinter> printer = PrinterFor(command);
    ui::UserMessages& messages = frame;
    if (child == nullptr || printer == nullptr || !printer->isValid()) {
        views::ReportPrinterFailure(messages, views::kNoPrinterDefaults);
        return false;
    }
    const CLombex32Doc& doc = child->Doc();
    printer->setDocName(ui::ToQString(doc.Title()));
    const views::PrintRequest request{frame.App().View(), doc.Path().string()};
    return views::PrintOnPrinter(child->View(), *printer, request, messages);
}

}  // namespace qorval::analyser
