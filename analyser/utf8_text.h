// Cutting UTF-8 text to a number of bytes without splitting a character.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>

namespace qorval::analyser {

// The longest start of `text` of at most `bytes` bytes that does not end inside a UTF-8
// character.
inline std::string CutAtCharacter(std::string_view text, size_t bytes) {
    if (text.size() <= bytes) {
        return std::string(text);
    }
    size_t end = bytes;
    while (end > 0 && (static_cast<unsigned char>(text[end]) & 0xC0) == 0x80) {
        --end;
    }
    return std::string(text.substr(0, end));
}

}  // namespace qorval::analyser
