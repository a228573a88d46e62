#include "applet/text_util.h"

#include <algorithm>
#include <cctype>
#include <cstdarg>
#include <cstdio>
#include <limits>

namespace qorval::applet {

std::string Format(const char* format, ...) {
    va_list args;
    va_start(args, format);
    va_list copy;
    va_copy(copy, args);
    const int length = std::vsnprintf(nullptr, 0, format, copy);
    va_end(copy);
    std::string text(length > 0 ? static_cast<size_t>(length) : 0, '\0');
    if (length > 0) {
        std::vsnprintf(text.data(), text.size() + 1, format, args);
    }
    va_end(args);
    return text;
}

std::string ToLower(std::string_view text) {
    std::string lowered(text);
    std::transform(lowered.begin(), lowered.end(), lowered.begin(),
                   [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
    return lowered;
}

bool EqualsNoCase(std::string_view a, std::string_view b) {
    return a.size() == b.size() && ToLower(a) == ToLower(b);
}

bool StartsWithNoCase(std::string_view text, std::string_view prefix) {
    return text.size() >= prefix.size() && EqualsNoCase(text.substr(0, prefix.size()), prefix);
}

namespace {

int DigitValue(char c, int base) {
    int value = -1;
    if (c >= '0' && c <= '9') {
        value = c - '0';
    } else if (c >= 'a' && c <= 'f') {
        value = c - 'a' + 10;
    } else if (c >= 'A' && c <= 'F') {
        value = c - 'A' + 10;
    }
    return value < base ? value : -1;
}

// Parses blanks, an optional sign and leading digits. Returns false when there is no digit.
bool ParseLeading(std::string_view text, int base, bool& negative, uint64_t& magnitude) {
    size_t i = 0;
    while (i < text.size() && std::isspace(static_cast<unsigned char>(text[i]))) {
        ++i;
    }
    negative = false;
    if (i < text.size() && (text[i] == '-' || text[i] == '+')) {
        negative = text[i] == '-';
        ++i;
    }
    if (base == 16 && i + 1 < text.size() && text[i] == '0' &&
        (text[i + 1] == 'x' || text[i + 1] == 'X') && i + 2 < text.size() &&
        DigitValue(text[i + 2], 16) >= 0) {
        i += 2;
    }
    magnitude = 0;
    bool any = false;
    constexpr uint64_t kCap = uint64_t{1} << 33;
    for (; i < text.size(); ++i) {
        const int digit = DigitValue(text[i], base);
        if (digit < 0) {
            break;
        }
        any = true;
        magnitude = std::min<uint64_t>(
            magnitude * static_cast<uint64_t>(base) + static_cast<uint64_t>(digit), kCap);
    }
    return any;
}

}  // namespace

bool TryReadDecimal(std::string_view text, int32_t& value) {
    bool negative = false;
    uint64_t magnitude = 0;
    if (!ParseLeading(text, 10, negative, magnitude)) {
        return false;
    }
    const int64_t signed_value =
        negative ? -static_cast<int64_t>(magnitude) : static_cast<int64_t>(magnitude);
    value = static_cast<int32_t>(std::clamp<int64_t>(
        signed_value, std::numeric_limits<int32_t>::min(), std::numeric_limits<int32_t>::max()));
    return true;
}

bool TryReadHex(std::string_view text, uint32_t& value) {
    bool negative = false;
    uint64_t magnitude = 0;
    if (!ParseLeading(text, 16, negative, magnitude)) {
        return false;
    }
    const uint32_t clamped = static_cast<uint32_t>(std::min<uint64_t>(magnitude, 0xFFFFFFFFu));
    value = negative ? static_cast<uint32_t>(0u - clamped) : clamped;
    return true;
}

int32_t ReadDecimal(std::string_view text) {
    int32_t value = 0;
    return TryReadDecimal(text, value) ? value : 0;
}

uint32_t ReadHex(std::string_view text) {
    uint32_t value = 0;
    return TryReadHex(text, value) ? value : 0;
}

}  // namespace qorval::applet
