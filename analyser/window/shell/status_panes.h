// The status bar's panes after the message pane: the progress pane, then the caps-lock,
// num-lock and scroll-lock indicators ("CAP", "NUM", "SCRL", shown while the lock is on).
//
// Under X the indicators show the server's lock state (server_lock_state.h), read every
// 250 ms and after each lock key, so they agree with what typing gives whichever program
// changed a lock. Elsewhere (offscreen) they follow the lock keys' presses that reach the
// program through the platform's key input, each press counted once.
#pragma once

#include <QLabel>
#include <QObject>
#include <QProgressBar>
#include <QStatusBar>
#include <QTimer>
#include <array>

#include "analyser/window/shell/server_lock_state.h"

namespace qorval::analyser {

class StatusPanes : public QObject {
  public:
    explicit StatusPanes(QStatusBar& bar);

    QProgressBar& Progress() { return *progress_; }
    // Shows the locks' state again.
    void Update();
    QLabel& Indicator(int index) { return *indicators_[index]; }

  protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

  private:
    QProgressBar* progress_;
    std::array<QLabel*, 3> indicators_{};
    LockStates onByKeys_{};
    QTimer poll_;
};

}  // namespace qorval::analyser
