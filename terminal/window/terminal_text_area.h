#pragma once
// The terminal's text area: shows what the engine puts into it and hands typed characters to
// the engine instead of editing itself.
//
// The engine edits the text as the original edit control held it (line breaks as CR LF, counted
// in bytes); that text is kept here as it is and drawn once per batch (`Flush`), so text arriving
// at the line's full rate costs one redraw per polling tick, not one per piece. Bytes are shown
// as Latin-1, one character each, so erasing a byte erases one character.

#include <QPlainTextEdit>
#include <functional>
#include <string>

#include "terminal/received_text.h"

namespace qorval::terminal::window {

class TerminalTextArea final : public QPlainTextEdit, public TextArea {
    Q_OBJECT
  public:
    explicit TerminalTextArea(QWidget* parent);

    // Called with every character typed (Enter is CR, Backspace is BS).
    void OnTyped(std::function<void(char)> handler) { on_typed_ = std::move(handler); }

    size_t Length() const override { return text_.Length(); }
    void DropFront(size_t count) override;
    void ReplaceEnd(size_t count, std::string_view piece) override;
    // Echo: shown at once.
    void Type(char c) override;

    // Draws what changed since the last call, with the caret at the end in view.
    void Flush();
    // The text as the engine sees it (CR LF line breaks).
    const std::string& Text() const { return text_.Text(); }

  protected:
    void keyPressEvent(QKeyEvent* event) override;

  private:
    StringTextArea text_;
    bool dirty_ = false;
    std::function<void(char)> on_typed_;
};

// What the widget shows for the engine's text: CR LF and a lone LF are one line break, a lone
// CR (left when a backspace took its LF) shows nothing.
QString ShownText(const std::string& text);

}  // namespace qorval::terminal::window
