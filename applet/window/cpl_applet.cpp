// libqorval_applet.so: the configuration tool as a control panel extension. Its one export,
// CPlApplet, answers the control panel's messages; a double click opens the property sheet.
#include <QApplication>
#include <memory>

#include "applet/cpl_protocol.h"
#include "applet/window/applet_session.h"

namespace {

using namespace qorval::applet;

// A host without a window system of its own gets one from the applet, for the applet's life.
std::unique_ptr<QApplication> g_application;
int g_argc = 1;
char g_program[] = "qorval";
char* g_argv[] = {g_program, nullptr};

}  // namespace

extern "C" __attribute__((visibility("default"))) long CPlApplet(void* window, uint32_t message,
                                                                intptr_t param1,
                                                                intptr_t param2) {
    (void)param1;
    switch (message) {
        case kCplInit:
            if (QApplication::instance() == nullptr) {
                g_application = std::make_unique<QApplication>(g_argc, g_argv);
            }
            break;
        case kCplDblClk:
            // A control panel takes any answer but 0 to a double click as a failure.
            if (!window::RunConfigSession(static_cast<QWidget*>(window))) {
                return 1;
            }
            break;
        case kCplExit:
            g_application.reset();
            break;
        default:
            break;
    }
    return CplAnswer(message, reinterpret_cast<NewCplInfo*>(param2));
}
