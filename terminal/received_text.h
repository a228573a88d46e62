#pragma once
// How received text is shown in the terminal's text area and written to the log.

#include <cstddef>
#include <cstdio>
#include <string>
#include <string_view>

namespace qorval::terminal {

// The text area the terminal shows: the window's edit control, or a plain stand-in.
class TextArea {
  public:
    virtual ~TextArea() = default;
    virtual size_t Length() const = 0;
    // Drops the first `count` characters.
    virtual void DropFront(size_t count) = 0;
    // Selects the last `count` characters (at most Length()), replaces them with `piece` and
    // scrolls the caret into view.
    virtual void ReplaceEnd(size_t count, std::string_view piece) = 0;
    // A character the user typed, shown as ordinary typing (echo on).
    virtual void Type(char c) = 0;
};

// A text area held in a string: for the tests and the command line.
class StringTextArea : public TextArea {
  public:
    size_t Length() const override { return text_.size(); }
    void DropFront(size_t count) override;
    void ReplaceEnd(size_t count, std::string_view piece) override;
    void Type(char c) override;
    const std::string& Text() const { return text_; }

  private:
    std::string text_;
};

inline constexpr size_t kTextAreaLimit = 16384;  // at this length the oldest text goes
inline constexpr size_t kTextAreaDrop = 4097;    // this much of it

struct EditedPiece {
    size_t erase_shown = 0;  // backspaces that reach into the text already shown
    std::string text;        // the piece after backspaces and line ends were applied
};

// Each backspace removes itself and the character before it; one with nothing before it in
// the piece counts one character to erase from what is shown. Then line feeds are removed and
// a line feed is put after every carriage return.
EditedPiece EditReceivedPiece(std::string_view piece);

// Shows one received piece in `area` by the rules above (the oldest text dropped first when
// the area is full) and writes the edited piece to `log` when it is not null.
void ShowReceivedPiece(TextArea& area, std::string_view piece, std::FILE* log);

}  // namespace qorval::terminal
