// Writes a picture of a window to docs/screenshots/<name>.png, for the README. The window is
// laid out and shown first so the picture matches what a user would see.
#pragma once

#include <string_view>

class QWidget;

namespace qorval::ui::testing {

// True when the file was written.
bool SaveScreenshot(QWidget& window, std::string_view name);

}  // namespace qorval::ui::testing
