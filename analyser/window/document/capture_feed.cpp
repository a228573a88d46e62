#include "analyser/window/document/capture_feed.h"

#include <QScrollBar>
#include <QTextBlock>

#include "analyser/window/document/lombex32_view.h"

namespace qorval::analyser {
namespace {

// The first position after the line end that follows `from` (the start of the next whole
// line), or the text's end.
qsizetype NextLineStart(const QString& text, qsizetype from) {
    const qsizetype lineEnd = text.indexOf(QLatin1Char('\n'), from);
    return lineEnd < 0 ? text.size() : lineEnd + 1;
}

QString WithoutCarriageReturns(std::string_view text) {
    QString lines;
    lines.reserve(static_cast<qsizetype>(text.size()));
    for (char c : text) {
        if (c != '\r') {
            lines.append(QLatin1Char(c));
        }
    }
    return lines;
}

}  // namespace

CaptureFeed::CaptureFeed(CLombex32View& view, int tickMs)
    : QObject(&view),
      view_(&view),
      lastFrameStart_(view.document()),
      lastFrameEnd_(view.document()) {
    tick_.setInterval(tickMs);
    connect(&tick_, &QTimer::timeout, this, &CaptureFeed::Flush);
    // Text typed where the last frame ends stays outside it.
    lastFrameEnd_.setKeepPositionOnInsert(true);
    // Captured text is not an edit: it keeps no undo history, so Undo can never take captured
    // lines away, and the document does not keep every line it ever dropped for an undo.
    view.document()->setUndoRedoEnabled(false);
}

void CaptureFeed::SetText(std::string_view text) {
    const QString lines = WithoutCarriageReturns(text);
    pending_ += lines;
    frameGiven_ = true;
    lastFrameWaiting_ = true;
    lastFrameLength_ = lines.size();
    KeepPendingWithinLimit();
    if (!tick_.isActive() && !pending_.isEmpty()) {
        tick_.start();
    }
}

void CaptureFeed::ReplaceLastFrame(std::string_view text) {
    if (view_ == nullptr) {
        return;
    }
    if (!frameGiven_) {
        pending_.clear();
        Put(0, view_->TextLength(), WithoutCarriageReturns(text));
        return;
    }
    if (lastFrameWaiting_) {
        pending_.chop(std::min(lastFrameLength_, pending_.size()));
        SetText(text);
        return;
    }
    const QString lines = WithoutCarriageReturns(text);
    const int from = lastFrameStart_.position();
    Put(from, std::max(from, lastFrameEnd_.position()), lines);
    lastFrameStart_.setPosition(from);
    lastFrameEnd_.setPosition(from + static_cast<int>(lines.size()));
}

void CaptureFeed::KeepPendingWithinLimit() {
    // Trimmed only once it is twice the limit, so the cost spreads over many frames.
    if (pending_.size() <= 2 * qsizetype{CLombex32View::kTextLimit}) {
        return;
    }
    pending_.remove(0, NextLineStart(pending_, pending_.size() - CLombex32View::kTextLimit));
    lastFrameLength_ = std::min(lastFrameLength_, pending_.size());
}

void CaptureFeed::MakeRoomFor(qsizetype incoming) {
    const qsizetype excess = view_->TextLength() + incoming - CLombex32View::kTextLimit;
    if (excess <= 0) {
        return;
    }
    QTextDocument& document = *view_->document();
    const QTextBlock last = document.findBlock(static_cast<int>(excess));
    const int cut = last.isValid() ? last.position() + last.length() : view_->TextLength();
    Put(0, std::min(cut, view_->TextLength()), QString());
}

void CaptureFeed::Put(int from, int to, const QString& text) {
    QScrollBar& bar = *view_->verticalScrollBar();
    const bool followEnd = bar.value() == bar.maximum();
    const bool wasModified = view_->document()->isModified();
    QTextCursor cursor(view_->document());
    cursor.setPosition(from);
    cursor.setPosition(to, QTextCursor::KeepAnchor);
    cursor.insertText(text);
    view_->document()->setModified(wasModified);
    if (followEnd) {
        bar.setValue(bar.maximum());
    }
}

void CaptureFeed::Flush() {
    if (pending_.isEmpty() || view_ == nullptr) {
        tick_.stop();
        pending_.clear();
        return;
    }
    if (pending_.size() > CLombex32View::kTextLimit) {
        pending_.remove(0, NextLineStart(pending_, pending_.size() - CLombex32View::kTextLimit));
        lastFrameLength_ = std::min(lastFrameLength_, pending_.size());
    }
    MakeRoomFor(pending_.size());
    // Captured lines go before the line the user has begun at the end (the last line holds
    // text only when the user typed it: every captured line ends with a line end).
    const int at = view_->document()->lastBlock().position();
    Put(at, at, pending_);
    const int end = at + static_cast<int>(pending_.size());
    if (lastFrameWaiting_) {
        lastFrameStart_.setPosition(end - static_cast<int>(lastFrameLength_));
        lastFrameEnd_.setPosition(end);
        lastFrameWaiting_ = false;
    }
    linesShown_ += static_cast<uint64_t>(pending_.count(QLatin1Char('\n')));
    pending_.clear();
}

}  // namespace qorval::analyser
