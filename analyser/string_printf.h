// printf-style formatting into a std::string of any length, for the system's message formats.
#pragma once

#include <algorithm>
#include <cstdio>
#include <string>

namespace qorval::analyser {

template <typename... Args>
std::string StringPrintf(const char* format, Args... args) {
    const int size = std::snprintf(nullptr, 0, format, args...);
    std::string text(static_cast<size_t>(std::max(size, 0)) + 1, '\0');
    std::snprintf(text.data(), text.size(), format, args...);
    text.resize(text.size() - 1);
    return text;
}

}  // namespace qorval::analyser
