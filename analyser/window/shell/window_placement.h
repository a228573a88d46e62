// The main window's placement and the "WindowPos" value: show command 1 normal, 2 minimized,
// 3 maximized; the normal rectangle as left, top, right, bottom.
#pragma once

#include <QRect>
#include <optional>

#include "analyser/settings.h"

class QWidget;

namespace qorval::analyser {

enum : int64_t { kShowMinimized = 2, kShowMaximized = 3 };

WindowPlacement PlacementOf(const QWidget& window);
// The normal rectangle of a saved placement when it is a sensible one on the screens there
// are (at least 100 by 60 and partly on a screen), else nullopt.
std::optional<QRect> UsableNormalRect(const WindowPlacement& placement, const QRect& screens);
// Applies the rectangle and shows the window with the show command.
void ShowPlaced(QWidget& window, const std::optional<WindowPlacement>& saved, int64_t show);

}  // namespace qorval::analyser
