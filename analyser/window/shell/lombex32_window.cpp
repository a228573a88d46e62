#include "analyser/window/shell/lombex32_window.h"

#include <QApplication>
#include <QMessageBox>

#include "analyser/library/port_library.h"
#include "analyser/settings.h"
#include "analyser/shell_info.h"
#include "analyser/window/shell/main_frame.h"
#include "analyser/window/shell/splash.h"
#include "platform/window/qt_user_messages.h"

namespace qorval::analyser {

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
    {
        CMainFrame frame(ProfilePath());
        const QStringList arguments = QApplication::arguments();
        if (arguments.size() > 1 &&
            !frame.OpenDocumentFile(ui::FromQString(arguments.at(1)))) {
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
