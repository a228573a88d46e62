#include "analyser/window/shell/status_panes.h"

#include <QApplication>
#include <QKeyEvent>

namespace qorval::analyser {
namespace {

struct Lock {
    const char* text;
    const char* name;
    Qt::Key key;
};
constexpr std::array<Lock, 3> kLocks = {{{"CAP", "capslock", Qt::Key_CapsLock},
                                         {"NUM", "numlock", Qt::Key_NumLock},
                                         {"SCRL", "scrolllock", Qt::Key_ScrollLock}}};
constexpr int kPollMs = 250;

}  // namespace

StatusPanes::StatusPanes(QStatusBar& bar) : QObject(&bar), progress_(new QProgressBar(&bar)) {
    progress_->setObjectName("progressPane");
    progress_->setRange(0, 100);
    progress_->setMaximumWidth(120);
    progress_->setTextVisible(false);
    progress_->hide();  // shown while a long operation reports its progress
    bar.addPermanentWidget(progress_);
    for (size_t i = 0; i < kLocks.size(); ++i) {
        auto* label = new QLabel(QString::fromLatin1(kLocks[i].text), &bar);
        label->setObjectName(QString::fromLatin1(kLocks[i].name));
        label->setFrameStyle(QFrame::Panel | QFrame::Sunken);
        label->setMinimumWidth(label->fontMetrics().horizontalAdvance("SCRL") + 8);
        label->setAlignment(Qt::AlignCenter);
        bar.addPermanentWidget(label);
        indicators_[i] = label;
    }
    qApp->installEventFilter(this);
    connect(&poll_, &QTimer::timeout, this, &StatusPanes::Update);
    poll_.start(kPollMs);
    Update();
}

void StatusPanes::Update() {
    const LockStates on = ReadServerLockStates().value_or(onByKeys_);
    for (size_t i = 0; i < kLocks.size(); ++i) {
        // The pane keeps its place; its text shows only while the lock is on.
        indicators_[i]->setText(on[i] ? QString::fromLatin1(kLocks[i].text) : QString());
    }
}

bool StatusPanes::eventFilter(QObject* watched, QEvent* event) {
    // The platform hands each key to one window, which passes it on to the widget with the
    // focus and its parents: counting it at the window counts each press exactly once.
    const bool atWindow = watched->isWindowType();
    if (atWindow && event->type() == QEvent::KeyPress &&
        !static_cast<QKeyEvent*>(event)->isAutoRepeat()) {
        const int key = static_cast<QKeyEvent*>(event)->key();
        for (size_t i = 0; i < kLocks.size(); ++i) {
            if (key == kLocks[i].key) {
                onByKeys_[i] = !onByKeys_[i];
                Update();
            }
        }
    } else if (atWindow && event->type() == QEvent::KeyRelease) {
        Update();  // a lock the server changed shows without waiting for the next poll
    }
    return QObject::eventFilter(watched, event);
}

}  // namespace qorval::analyser
