// The capture window that keeps up with the line: the engine hands it each frame's display
// lines, which wait here and are appended to the view in one batch per display tick. The
// window keeps the most recent lines within the view's text limit (the oldest whole lines go
// first); text that would be cut before it is ever shown is not kept in the first place.
#pragma once

#include <QObject>
#include <QPointer>
#include <QString>
#include <QTimer>
#include <cstdint>
#include <string_view>

#include "analyser/user_interface.h"

namespace qorval::analyser {

class CLombex32View;

class CaptureFeed final : public QObject, public CaptureView {
  public:
    static constexpr int kDisplayTickMs = 50;

    explicit CaptureFeed(CLombex32View& view, int tickMs = kDisplayTickMs);

    // One frame's lines (carriage returns are dropped: the view keeps plain line ends).
    void SetText(std::string_view text) override;
    // Appends what waits now: run by the display tick, and by the engine when it writes out its
    // buffered output.
    void Flush() override;
    qsizetype Waiting() const { return pending_.size(); }
    // Lines appended to the view since the feed was made (those that wait, or were cut by the
    // text limit before they were ever shown, are not counted).
    uint64_t LinesShown() const { return linesShown_; }

  private:
    void KeepPendingWithinLimit();
    void MakeRoomFor(qsizetype incoming);

    QPointer<CLombex32View> view_;
    QTimer tick_;
    QString pending_;
    uint64_t linesShown_ = 0;
};

}  // namespace qorval::analyser
