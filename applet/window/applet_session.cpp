#include "applet/window/applet_session.h"

#include <cstdlib>

#include "applet/window/config_sheet.h"
#include "platform/window/qt_user_messages.h"

namespace qorval::applet::window {

bool RunConfigSession(QWidget* parent, std::optional<StoreKind> store, const StorePaths& paths,
                      const DriverHostAsk& ask) {
    if (!store) {
        return false;  // ChooseStore said why; there is nowhere to load from or store to
    }
    bool stored = false;
    {
        CConfigSheet sheet(parent, *store, paths);
        stored = sheet.exec() == QDialog::Accepted;
    }
    if (stored) {
        ui::QtUserMessages user(parent);
        (void)RunRestartPrompt(user, ask);
    }
    return true;
}

bool RunConfigSession(QWidget* parent) {
    ui::QtUserMessages user(parent);
    std::optional<std::string_view> option;
    if (const char* value = std::getenv("QORVAL_STORE"); value != nullptr) {
        option = value;
    }
    return RunConfigSession(parent, ChooseStore(option, user), DefaultStorePaths(),
                            ControlSocketAsk());
}

}  // namespace qorval::applet::window
