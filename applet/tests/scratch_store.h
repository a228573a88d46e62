// Where a test's stores and log live: the registry file, "System.ini" and the configuration
// log in one scratch folder.
#pragma once

#include "applet/config_store.h"
#include "applet/tests/temp_dir.h"

namespace qorval::applet::testing {

inline StorePaths PathsIn(const TempDir& dir) {
    return {dir.path() / "system.reg", dir.path() / "System.ini", dir.path() / "QLConfig.LOG"};
}

}  // namespace qorval::applet::testing
