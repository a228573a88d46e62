#include "terminal/window/terminal_text_area.h"

#include <QKeyEvent>
#include <QScrollBar>

namespace qorval::terminal::window {

QString ShownText(const std::string& text) {
    QString shown;
    shown.reserve(static_cast<qsizetype>(text.size()));
    for (char c : text) {
        if (c != '\r') {
            shown += QChar(static_cast<unsigned char>(c));
        }
    }
    return shown;
}

TerminalTextArea::TerminalTextArea(QWidget* parent) : QPlainTextEdit(parent) {
    setObjectName("textArea");
    // The user's keys go to the line, never into the text; the mouse still selects for copying.
    setReadOnly(true);
    setTextInteractionFlags(Qt::TextSelectableByMouse | Qt::TextSelectableByKeyboard);
    setUndoRedoEnabled(false);
    setFocusPolicy(Qt::StrongFocus);
}

void TerminalTextArea::DropFront(size_t count) {
    text_.DropFront(count);
    dirty_ = true;
}

void TerminalTextArea::ReplaceEnd(size_t count, std::string_view piece) {
    text_.ReplaceEnd(count, piece);
    dirty_ = true;
}

void TerminalTextArea::Type(char c) {
    text_.Type(c);
    dirty_ = true;
    Flush();
}

void TerminalTextArea::Flush() {
    if (!dirty_) {
        return;
    }
    dirty_ = false;
    setPlainText(ShownText(text_.Text()));
    moveCursor(QTextCursor::End);
    ensureCursorVisible();
    verticalScrollBar()->setValue(verticalScrollBar()->maximum());
}

void TerminalTextArea::keyPressEvent(QKeyEvent* event) {
    char c = 0;
    switch (event->key()) {
        case Qt::Key_Return:
        case Qt::Key_Enter:
            c = '\r';
            break;
        case Qt::Key_Backspace:
            c = '\b';
            break;
        case Qt::Key_Tab:
            c = '\t';
            break;
        case Qt::Key_Escape:
            c = 0x1B;
            break;
        default: {
            const QString text = event->text();
            if (text.size() == 1 && text[0].unicode() != 0 && text[0].unicode() <= 0xFF) {
                c = static_cast<char>(text[0].unicode());
            }
        }
    }
    if (c == 0) {
        QPlainTextEdit::keyPressEvent(event);  // moving around, selecting, copying
        return;
    }
    if (on_typed_) {
        on_typed_(c);
    }
    event->accept();
}

}  // namespace qorval::terminal::window
