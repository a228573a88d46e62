#pragma once
// Whether a window goes on painting while a command runs: the window is asked to repaint every
// 20 ms and its paints are counted. A window whose thread is held by a blocking call gets no
// paint until the call has ended.

#include <QObject>
#include <QTimer>
#include <chrono>
#include <condition_variable>
#include <mutex>

class QWidget;

namespace qorval::ui::testing {

class RepaintWatch : public QObject {
  public:
    // Counting starts at 0 now; the window's own thread does the painting.
    explicit RepaintWatch(QWidget* window);
    ~RepaintWatch() override;

    int Paints() const;
    // From any thread: waits until the window has painted `count` times, at most `bound`.
    bool WaitForPaints(int count, std::chrono::milliseconds bound);

  protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

  private:
    QWidget* window_;
    QTimer repaint_;
    mutable std::mutex mutex_;
    std::condition_variable painted_;
    int paints_ = 0;
};

}  // namespace qorval::ui::testing
