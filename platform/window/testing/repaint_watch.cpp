#include "platform/window/testing/repaint_watch.h"

#include <QEvent>
#include <QWidget>

namespace qorval::ui::testing {

RepaintWatch::RepaintWatch(QWidget* window) : window_(window) {
    window_->installEventFilter(this);
    repaint_.setInterval(20);
    connect(&repaint_, &QTimer::timeout, window_, [this] { window_->update(); });
    repaint_.start();
}

RepaintWatch::~RepaintWatch() {
    window_->removeEventFilter(this);
}

int RepaintWatch::Paints() const {
    std::lock_guard lock(mutex_);
    return paints_;
}

bool RepaintWatch::WaitForPaints(int count, std::chrono::milliseconds bound) {
    std::unique_lock lock(mutex_);
    return painted_.wait_for(lock, bound, [&] { return paints_ >= count; });
}

bool RepaintWatch::eventFilter(QObject* watched, QEvent* event) {
    if (watched == window_ && event->type() == QEvent::Paint) {
        {
            std::lock_guard lock(mutex_);
            ++paints_;
        }
        painted_.notify_all();
    }
    return QObject::eventFilter(watched, event);
}

}  // namespace qorval::ui::testing
