// The status bar's panes after the message pane: the progress pane, then the caps-lock,
// num-lock and scroll-lock indicators ("CAP", "NUM", "SCRL", shown while the lock is on).
#pragma once

#include <QLabel>
#include <QObject>
#include <QProgressBar>
#include <QStatusBar>
#include <QTimer>
#include <array>
#include <optional>
#include <string>

namespace qorval::analyser {

// The lock's keyboard light as the system shows it (/sys/class/leds/*::capslock and the like);
// nullopt when no keyboard light can be read.
std::optional<bool> ReadLockLight(const std::string& ledsFolder, const std::string& lock);

class StatusPanes : public QObject {
  public:
    explicit StatusPanes(QStatusBar& bar, std::string ledsFolder = "/sys/class/leds");

    QProgressBar& Progress() { return *progress_; }
    // Re-reads the lights; a lock whose light cannot be read follows its key presses instead.
    void Update();
    QLabel& Indicator(int index) { return *indicators_[index]; }

  protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

  private:
    std::string ledsFolder_;
    QProgressBar* progress_;
    std::array<QLabel*, 3> indicators_{};
    std::array<bool, 3> onByKeys_{};
    const QEvent* lastKey_ = nullptr;
    QTimer poll_;
};

}  // namespace qorval::analyser
