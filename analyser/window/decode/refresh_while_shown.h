// A pane that follows the capture only while a person can see it: its refresh runs when it is
// shown and then at every tick of its timer, and the timer stops when the pane is hidden.
#pragma once

#include <QDockWidget>
#include <QTimer>
#include <functional>

namespace qorval::analyser {

inline void RefreshWhileShown(QDockWidget& pane, QTimer& timer, int intervalMs,
                              std::function<void()> refresh) {
    timer.setInterval(intervalMs);
    QObject::connect(&timer, &QTimer::timeout, &pane, refresh);
    QObject::connect(&pane, &QDockWidget::visibilityChanged, &pane,
                     [&timer, refresh](bool visible) {
                         if (visible) {
                             refresh();
                             timer.start();
                         } else {
                             timer.stop();
                         }
                     });
}

}  // namespace qorval::analyser
