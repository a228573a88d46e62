#include "analyser/window/shell/status_panes.h"

#include <QApplication>
#include <QKeyEvent>
#include <filesystem>
#include <fstream>

namespace qorval::analyser {
namespace {

struct Lock {
    const char* text;
    const char* light;
    Qt::Key key;
};
constexpr std::array<Lock, 3> kLocks = {{{"CAP", "capslock", Qt::Key_CapsLock},
                                         {"NUM", "numlock", Qt::Key_NumLock},
                                         {"SCRL", "scrolllock", Qt::Key_ScrollLock}}};
constexpr int kPollMs = 250;

}  // namespace

std::optional<bool> ReadLockLight(const std::string& ledsFolder, const std::string& lock) {
    std::error_code error;
    std::optional<bool> on;
    const std::string suffix = "::" + lock;
    for (const auto& entry : std::filesystem::directory_iterator(ledsFolder, error)) {
        const std::string name = entry.path().filename().string();
        if (name.size() < suffix.size() || !name.ends_with(suffix)) {
            continue;
        }
        std::ifstream in(entry.path() / "brightness");
        int brightness = 0;
        if (in >> brightness) {
            // Several keyboards: the lock is on when any of them shows it.
            on = on.value_or(false) || brightness > 0;
        }
    }
    return on;
}

StatusPanes::StatusPanes(QStatusBar& bar, std::string ledsFolder)
    : QObject(&bar), ledsFolder_(std::move(ledsFolder)), progress_(new QProgressBar(&bar)) {
    progress_->setObjectName("progressPane");
    progress_->setRange(0, 100);
    progress_->setMaximumWidth(120);
    progress_->setTextVisible(false);
    progress_->hide();  // shown while a long operation reports its progress
    bar.addPermanentWidget(progress_);
    for (size_t i = 0; i < kLocks.size(); ++i) {
        auto* label = new QLabel(QString::fromLatin1(kLocks[i].text), &bar);
        label->setObjectName(QString::fromLatin1(kLocks[i].light));
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
    for (size_t i = 0; i < kLocks.size(); ++i) {
        const bool on = ReadLockLight(ledsFolder_, kLocks[i].light).value_or(onByKeys_[i]);
        // The pane keeps its place; its text shows only while the lock is on.
        indicators_[i]->setText(on ? QString::fromLatin1(kLocks[i].text) : QString());
    }
}

bool StatusPanes::eventFilter(QObject* watched, QEvent* event) {
    // A key press passes the filter once for each widget it propagates to: count it once.
    if (event->type() == QEvent::KeyPress && event != lastKey_ &&
        !static_cast<QKeyEvent*>(event)->isAutoRepeat()) {
        lastKey_ = event;
        const int key = static_cast<QKeyEvent*>(event)->key();
        for (size_t i = 0; i < kLocks.size(); ++i) {
            if (key == kLocks[i].key) {
                onByKeys_[i] = !onByKeys_[i];
                Update();
            }
        }
    }
    return QObject::eventFilter(watched, event);
}

}  // namespace qorval::analyser
