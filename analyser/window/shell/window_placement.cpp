#include "analyser/window/shell/window_placement.h"

#include <QGuiApplication>
#include <QScreen>
#include <QWidget>

#include "analyser/shell_info.h"

namespace qorval::analyser {

WindowPlacement PlacementOf(const QWidget& window) {
    WindowPlacement placement;
    const QRect normal = window.isMaximized() || window.isMinimized() ? window.normalGeometry()
                                                                      : window.geometry();
    auto& v = placement.values;
    v[0] = 0;
    const int64_t shown = window.isMinimized() ? int64_t{kShowMinimized} : int64_t{kShowNormal};
    v[1] = window.isMaximized() ? int64_t{kShowMaximized} : shown;
    v[2] = v[3] = v[4] = v[5] = -1;
    v[6] = normal.left();
    v[7] = normal.top();
    v[8] = normal.left() + normal.width();
    v[9] = normal.top() + normal.height();
    return placement;
}

std::optional<QRect> UsableNormalRect(const WindowPlacement& placement, const QRect& screens) {
    const auto& v = placement.values;
    const int64_t width = v[8] - v[6], height = v[9] - v[7];
    constexpr int64_t kLargest = 1 << 15;
    if (width < 100 || height < 60 || width > kLargest || height > kLargest ||
        v[6] < -kLargest || v[7] < -kLargest || v[6] > kLargest || v[7] > kLargest) {
        return std::nullopt;
    }
    const QRect rect(static_cast<int>(v[6]), static_cast<int>(v[7]), static_cast<int>(width),
                     static_cast<int>(height));
    if (!screens.isEmpty() && !rect.intersects(screens)) {
        return std::nullopt;
    }
    return rect;
}

void ShowPlaced(QWidget& window, const std::optional<WindowPlacement>& saved, int64_t show) {
    QRect screens;
    for (const QScreen* screen : QGuiApplication::screens()) {
        screens = screens.united(screen->availableGeometry());
    }
    if (saved) {
        if (const auto rect = UsableNormalRect(*saved, screens)) {
            window.setGeometry(*rect);
        }
    }
    switch (show) {
        case kShowMaximized:
            window.showMaximized();
            break;
        case kShowMinimized:
            window.showMinimized();
            break;
        default:
            window.show();
            break;
    }
}

}  // namespace qorval::analyser
