// What a double click on the applet does: the property sheet over the control panel's window
// and, when it closes with OK, the restart prompt.
#pragma once

#include <QWidget>

#include "applet/config_store.h"
#include "applet/driver_restart.h"

namespace qorval::applet::window {

// The store chosen by QORVAL_STORE ("registry", the default, or "ini"), the prefix's paths
// and the running driver host's control socket. A QORVAL_STORE that names no store is said so
// and opens no sheet: the session fails (false), and the tool ends with a non-zero status.
bool RunConfigSession(QWidget* parent);

// The same with everything given, for tests.
bool RunConfigSession(QWidget* parent, std::optional<StoreKind> store, const StorePaths& paths,
                      const DriverHostAsk& ask);

}  // namespace qorval::applet::window
