#include "terminal/received_text.h"

#include <algorithm>

namespace qorval::terminal {
namespace {

constexpr char kBackspace = 0x08;
constexpr char kLineFeed = 0x0A;
constexpr char kCarriageReturn = 0x0D;

}  // namespace

EditedPiece EditReceivedPiece(std::string_view piece) {
    EditedPiece out;
    std::string kept;
    kept.reserve(piece.size());
    for (char c : piece) {
        if (c != kBackspace) {
            kept += c;
        } else if (!kept.empty()) {
            kept.pop_back();
        } else {
            ++out.erase_shown;
        }
    }
    out.text.reserve(kept.size() + kept.size() / 8);
    for (char c : kept) {
        if (c == kLineFeed) {
            continue;
        }
        out.text += c;
        if (c == kCarriageReturn) {
            out.text += kLineFeed;
        }
    }
    return out;
}

void ShowReceivedPiece(TextArea& area, std::string_view piece, std::FILE* log) {
    if (area.Length() >= kTextAreaLimit) {
        area.DropFront(kTextAreaDrop);
    }
    const EditedPiece edited = EditReceivedPiece(piece);
    area.ReplaceEnd(std::min(edited.erase_shown, area.Length()), edited.text);
    if (log != nullptr && !edited.text.empty()) {
        std::fwrite(edited.text.data(), 1, edited.text.size(), log);
    }
}

void StringTextArea::DropFront(size_t count) {
    text_.erase(0, std::min(count, text_.size()));
}

void StringTextArea::ReplaceEnd(size_t count, std::string_view piece) {
    text_.erase(text_.size() - std::min(count, text_.size()));
    text_.append(piece);
}

void StringTextArea::Type(char c) {
    if (c == kBackspace) {
        if (!text_.empty()) {
            text_.pop_back();
        }
    } else if (c == kCarriageReturn) {
        text_ += "\r\n";
    } else {
        text_ += c;
    }
}

}  // namespace qorval::terminal
