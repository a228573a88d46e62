#include "bert/window/kessup_window_app.h"

#include <QApplication>

#include "bert/window/kessup_window.h"

namespace qorval::bert::window {

int RunKessupWindow(int argc, char** argv) {
    QApplication app(argc, argv);
    KessupWindow window;
    window.show();
    if (!window.Initialise()) {
        return 1;
    }
    return app.exec();
}

}  // namespace qorval::bert::window
