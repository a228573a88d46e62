// The window's command line: nothing (an empty main window), a file to open as a document, or
// a file to print: "/p FILE" on the default printer, "/pt FILE PRINTER" on the named one ("-p"
// and "-pt" too, in either case). A printing run prints the file without showing the window and
// ends: 0 when the pages went to the printer, 1 when the file could not be opened or printed.
#pragma once

#include <QString>
#include <QStringList>
#include <filesystem>
#include <optional>

namespace qorval::analyser {

class CMainFrame;

struct CommandLine {
    QString file;           // empty: no document
    bool print = false;     // print the file and end
    QString printer;        // "/pt": the printer's name; empty: the default printer
};

// The arguments after the program's name; nullopt for a print switch without its file.
std::optional<CommandLine> ParseCommandLine(const QStringList& arguments);

// Opens the file as a document of `frame` (not shown) and prints it with the header, footer,
// fonts and tab stops of the profile; the boxes of a failure go through the frame.
bool PrintDocumentFile(CMainFrame& frame, const CommandLine& command,
                       const std::filesystem::path& profile);

}  // namespace qorval::analyser
