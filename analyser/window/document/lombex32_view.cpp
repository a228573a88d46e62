#include "analyser/window/document/lombex32_view.h"

#include <QKeyEvent>
#include <QTextBlock>
#include <QTextCursor>

#include "analyser/window/views/analyser_views.h"

namespace qorval::analyser {

CLombex32View::CLombex32View(const ViewSettings& settings, QWidget* parent)
    : QPlainTextEdit(parent) {
    views::ApplyViewSettings(*this, settings);
    setCenterOnScroll(false);
    connect(document(), &QTextDocument::contentsChange, this, &CLombex32View::KeepWithinLimit);
}

int CLombex32View::TextLength() const {
    return document()->characterCount() - 1;  // the document's own final paragraph mark
}

void CLombex32View::KeepWithinLimit(int position, int /*removed*/, int added) {
    const int excess = TextLength() - kTextLimit;
    if (trimming_ || excess <= 0 || added <= 0) {
        return;
    }
    // The text just typed or pasted is cut back to what fits; the text before it stays.
    trimming_ = true;
    QTextCursor cursor(document());
    const int end = position + added;
    cursor.setPosition(std::max(position, end - excess));
    cursor.setPosition(end, QTextCursor::KeepAnchor);
    cursor.removeSelectedText();
    trimming_ = false;
    emit textLimitReached();
}

bool CLombex32View::event(QEvent* event) {
    if (event->type() == QEvent::ShortcutOverride) {
        auto* key = static_cast<QKeyEvent*>(event);
        const QKeySequence pressed(key->keyCombination());
        for (const QKeySequence& frameKey : frameKeys_) {
            if (frameKey == pressed) {
                event->ignore();  // let the main window's command have it
                return true;
            }
        }
    }
    return QPlainTextEdit::event(event);
}

void CLombex32View::mousePressEvent(QMouseEvent* event) {
    if (event->button() == Qt::RightButton) {
        emit rightButtonPressed();
    }
    QPlainTextEdit::mousePressEvent(event);
}

}  // namespace qorval::analyser
