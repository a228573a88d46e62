// The pictures of the windows' buttons and document windows: the desktop's icon theme by its
// freedesktop icon name, a packaged theme where the desktop's lacks the icon (or there is no
// desktop), and Qt's own standard icon as the last resort.
#pragma once

#include <QIcon>
#include <QStyle>

namespace qorval::ui {

QIcon DesktopIcon(const char* themeName, QStyle::StandardPixmap standard);

}  // namespace qorval::ui
