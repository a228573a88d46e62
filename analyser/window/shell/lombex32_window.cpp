#include "analyser/window/shell/lombex32_window.h"

#include <QApplication>
#include <QMessageBox>

#include "analyser/library/port_library.h"
#include "analyser/settings.h"
#include "analyser/shell_info.h"
#include "analyser/window/shell/command_line.h"
#include "analyser/window/shell/main_frame.h"
#include "analyser/window/shell/splash.h"
#include "platform/window/qt_user_messages.h"

namespace qorval::analyser {
namespace {

constexpr const char* kUsage =
    "Usage: lombex32 [FILE | /p FILE | /pt FILE PRINTER]\nFILE opens the file as a document; /p "
    "prints it on the default printer and /pt on the printer named.";

}  // namespace

int RunAnalyserWindow(int argc, char** argv) {
    QApplication application(argc, argv);
    // The library is loaded by its file name before anything else; without it (or with one
    // that lacks a function of the contract) the program cannot reach a port and ends.
    PortLibraryModule library;
    if (!library.Load()) {
        QMessageBox::warning(nullptr, QString::fromLatin1(CAnalyserApp::kCaption),
                             ui::ToQString(library.Error()));
        return 1;
    }
    UsePortLibrary(&library.Functions());
    int status = 0;
    const std::optional<CommandLine> command = ParseCommandLine(QApplication::arguments().mid(1));
    {
        CMainFrame frame(ProfilePath());
        if (!command) {
            ui::ShowWarning(frame, kUsage, CAnalyserApp::kCaption);
            status = 1;
        } else if (command->print) {
            // Printing from the command line prints and ends, without the window.
            status = PrintDocumentFile(frame, *command, ProfilePath()) ? 0 : 1;
        } else if (!command->file.isEmpty() &&
                   !frame.OpenDocumentFile(ui::FromQString(command->file))) {
            status = 1;
        } else {
            frame.ShowWithSavedPlacement(kShowNormal);
            if (!frame.StartEngine()) {
                status = 1;
            } else {
                ShowSplash(&frame);
                status = QApplication::exec();
            }
        }
    }
    UsePortLibrary(nullptr);
    return status;
}

}  // namespace qorval::analyser
