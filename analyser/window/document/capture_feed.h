// The capture window that keeps up with the line: the engine hands it each frame's display
// lines, which wait here and are added to the view in one batch per display tick. The window
// keeps a history of frames within the view's text limit (the oldest whole lines go first);
// text that would be cut before it is ever shown is not kept in the first place.
//
// The user may type into the window: captured lines always start on a line of their own and go
// before a line the user has begun at the end, so typing and captured text never run into each
// other. A display format change shows the last frame again in place of its lines.
#pragma once

#include <QObject>
#include <QPointer>
#include <QString>
#include <QTextCursor>
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
    // The last frame's lines again, in place of those shown for it; before the first frame the
    // window empties.
    void ReplaceLastFrame(std::string_view text) override;
    // Adds what waits now: run by the display tick, and by the engine when it writes out its
    // buffered output.
    void Flush() override;
    qsizetype Waiting() const { return pending_.size(); }
    // Lines added to the view since the feed was made (those that wait, or were cut by the
    // text limit before they were ever shown, are not counted).
    uint64_t LinesShown() const { return linesShown_; }

  private:
    void KeepPendingWithinLimit();
    void MakeRoomFor(qsizetype incoming);
    // Puts `text` in place of the view's characters from `from` to `to`, keeping the
    // document's modified flag (captured text is not an edit) and the view at its end when it
    // was there.
    void Put(int from, int to, const QString& text);

    QPointer<CLombex32View> view_;
    QTimer tick_;
    QString pending_;
    uint64_t linesShown_ = 0;
    bool frameGiven_ = false;
    // Where the last frame's lines are: at the end of pending_ while they wait, else between
    // the two cursors in the view.
    bool lastFrameWaiting_ = false;
    qsizetype lastFrameLength_ = 0;
    QTextCursor lastFrameStart_;
    QTextCursor lastFrameEnd_;
};

}  // namespace qorval::analyser
