#include "terminal/window/run_vintor_window.h"

#include <QApplication>
#include <QTimer>

#include "terminal/window/vintor_window.h"

namespace qorval::terminal::window {

int RunVintorWindow(int argc, char** argv) {
    QApplication app(argc, argv);
    VintorWindow window;
    window.show();
    // Once the window is up, so the message stands over it.
    QTimer::singleShot(0, &window, &VintorWindow::CheckDriverHost);
    return app.exec();
}

}  // namespace qorval::terminal::window
