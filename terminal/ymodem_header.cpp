#include "terminal/ymodem_header.h"

#include <algorithm>
#include <cstdio>
#include <limits>

namespace qorval::terminal {

std::string_view LastPathComponent(std::string_view path) {
    const size_t cut = path.find_last_of("/\\");
    return cut == std::string_view::npos ? path : path.substr(cut + 1);
}

HeaderBlock BuildYmodemHeader(std::string_view name, uint64_t length) {
    HeaderBlock block{};
    char digits[24];
    const int n =
        std::snprintf(digits, sizeof digits, "%llu", static_cast<unsigned long long>(length));
    const std::string_view number(digits, static_cast<size_t>(n));
    std::string_view base = LastPathComponent(name);
    // Room for the name, its 0 byte, the digits and their 0 byte.
    base = base.substr(0, block.size() - number.size() - 2);
    auto* out = std::copy(base.begin(), base.end(), block.begin());
    ++out;  // the 0 byte after the name
    std::copy(number.begin(), number.end(), out);
    return block;
}

HeaderBlock BuildEndOfBatchHeader() {
    HeaderBlock block{};
    block[1] = '0';
    return block;
}

YmodemHeader ParseYmodemHeader(std::span<const uint8_t> block) {
    YmodemHeader header;
    const auto name_end = std::find(block.begin(), block.end(), uint8_t{0});
    header.name.assign(block.begin(), name_end);
    if (name_end == block.end()) {
        return header;
    }
    // The length is read as a decimal number after optional blanks, within the block only.
    auto p = name_end + 1;
    while (p != block.end() && (*p == ' ' || *p == '\t')) {
        ++p;
    }
    if (p != block.end() && *p == '+') {
        ++p;
    }
    uint64_t value = 0;
    bool any = false;
    for (; p != block.end() && *p >= '0' && *p <= '9'; ++p) {
        const uint64_t digit = *p - '0';
        if (value > (std::numeric_limits<uint64_t>::max() - digit) / 10) {
            return header;  // too large to be a real length: treated as unknown
        }
        value = value * 10 + digit;
        any = true;
    }
    if (any) {
        header.size = value;
    }
    return header;
}

std::optional<std::string> SafeDownloadName(std::string_view sent) {
    const std::string_view base = LastPathComponent(sent);
    if (base.empty() || base == "." || base == "..") {
        return std::nullopt;
    }
    for (unsigned char c : base) {
        if (c < 0x20 || c == 0x7F) {
            return std::nullopt;
        }
    }
    return std::string(base);
}

std::string PrintableName(std::string_view text) {
    std::string out;
    for (unsigned char c : text) {
        if (c < 0x20 || c >= 0x7F) {
            char hex[8];
            std::snprintf(hex, sizeof hex, "\\x%02X", c);
            out += hex;
        } else {
            out += static_cast<char>(c);
        }
    }
    return out;
}

}  // namespace qorval::terminal
