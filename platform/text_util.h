// Small text helpers shared by the registry, profile and path code: ASCII letter case and
// blanks (spaces and tabs), as the original platform's 8-bit names compare.
#pragma once

#include <string_view>

namespace qorval::platform {

inline char AsciiLower(char c) {
    return (c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : c;
}

// ASCII letters compare without regard to case; every other byte exactly.
inline bool EqualsNoCase(std::string_view a, std::string_view b) {
    if (a.size() != b.size()) {
        return false;
    }
    for (size_t i = 0; i < a.size(); ++i) {
        if (AsciiLower(a[i]) != AsciiLower(b[i])) {
            return false;
        }
    }
    return true;
}

inline bool IsBlank(char c) {
    return c == ' ' || c == '\t';
}

inline std::string_view TrimBlanksLeft(std::string_view s) {
    while (!s.empty() && IsBlank(s.front())) {
        s.remove_prefix(1);
    }
    return s;
}

inline std::string_view TrimBlanksRight(std::string_view s) {
    while (!s.empty() && IsBlank(s.back())) {
        s.remove_suffix(1);
    }
    return s;
}

inline std::string_view TrimBlanks(std::string_view s) {
    return TrimBlanksRight(TrimBlanksLeft(s));
}

}  // namespace qorval::platform
