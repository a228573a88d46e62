#include "analyser/window/document/capture_feed.h"

#include <QScrollBar>
#include <QTextBlock>
#include <QTextCursor>

#include "analyser/window/document/lombex32_view.h"

namespace qorval::analyser {
namespace {

// The first position after the line end that follows `from` (the start of the next whole
// line), or the text's end.
qsizetype NextLineStart(const QString& text, qsizetype from) {
    const qsizetype lineEnd = text.indexOf(QLatin1Char('\n'), from);
    return lineEnd < 0 ? text.size() : lineEnd + 1;
}

}  // namespace

CaptureFeed::CaptureFeed(CLombex32View& view, int tickMs) : QObject(&view), view_(&view) {
    tick_.setInterval(tickMs);
    connect(&tick_, &QTimer::timeout, this, &CaptureFeed::Flush);
    // Captured text is not an edit: it keeps no undo history, so Undo can never take captured
    // lines away, and the document does not keep every line it ever dropped for an undo.
    view.document()->setUndoRedoEnabled(false);
}

void CaptureFeed::SetText(std::string_view text) {
    for (char c : text) {
        if (c != '\r') {
            pending_.append(QLatin1Char(c));
        }
    }
    KeepPendingWithinLimit();
    if (!tick_.isActive() && !pending_.isEmpty()) {
        tick_.start();
    }
}

void CaptureFeed::KeepPendingWithinLimit() {
    // Trimmed only once it is twice the limit, so the cost spreads over many frames.
    if (pending_.size() <= 2 * qsizetype{CLombex32View::kTextLimit}) {
        return;
    }
    pending_.remove(0, NextLineStart(pending_, pending_.size() - CLombex32View::kTextLimit));
}

void CaptureFeed::MakeRoomFor(qsizetype incoming) {
    const qsizetype excess = view_->TextLength() + incoming - CLombex32View::kTextLimit;
    if (excess <= 0) {
        return;
    }
    QTextDocument& document = *view_->document();
    QTextCursor cursor(&document);
    const QTextBlock last = document.findBlock(static_cast<int>(excess));
    const int cut = last.isValid() ? last.position() + last.length() : view_->TextLength();
    cursor.setPosition(std::min(cut, view_->TextLength()), QTextCursor::KeepAnchor);
    cursor.removeSelectedText();
}

void CaptureFeed::Flush() {
    if (pending_.isEmpty() || view_ == nullptr) {
        tick_.stop();
        pending_.clear();
        return;
    }
    if (pending_.size() > CLombex32View::kTextLimit) {
        pending_.remove(0, NextLineStart(pending_, pending_.size() - CLombex32View::kTextLimit));
    }
    QScrollBar& bar = *view_->verticalScrollBar();
    const bool followEnd = bar.value() == bar.maximum();
    const bool wasModified = view_->document()->isModified();
    MakeRoomFor(pending_.size());
    QTextCursor cursor(view_->document());
    cursor.movePosition(QTextCursor::End);
    cursor.insertText(pending_);
    linesShown_ += static_cast<uint64_t>(pending_.count(QLatin1Char('\n')));
    pending_.clear();
    // Captured text is not an edit: closing the window does not ask to save it.
    view_->document()->setModified(wasModified);
    if (followEnd) {
        bar.setValue(bar.maximum());
    }
}

}  // namespace qorval::analyser
