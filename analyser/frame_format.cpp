#include "analyser/frame_format.h"

#include <array>
#include <cstdio>

namespace qorval::analyser {
namespace {

constexpr std::array<std::string_view, 33> kControlNames = {
    "<NUL>", "<SOH>", "<STX>", "<ETX>", "<EOT>", "<ENQ>", "<ACU>", "<BEL>", "<ES>",
    "<HT>",  "<LF>",  "<VT>",  "<FF>",  "<CR>",  "<SO>",  "<SI>",  "<DLE>", "<DC1>",
    "<DC2>", "<DC3>", "<DC4>", "<AAK>", "<SYU>", "<ETB>", "<CAN>", "<EM>",  "<SUB>",
    "<ESC>", "<FS>",  "<GS>",  "<RS>",  "<VS>",  "<SP>"};
constexpr std::string_view kDeleteName = "<DEL>";
constexpr std::string_view kHighName = "<HIGH>";
constexpr const char* kReceivedPrefix = "%04X %04X ";
constexpr const char* kSentPrefix = "SENT %04X ";
constexpr const char* kHexByte = "%02X ";
constexpr std::string_view kLineEnd = "\r\n";

void AppendAscii(std::string& line, uint8_t byte) {
    if (byte <= 32) {
        line += ControlCharacterName(byte);
    } else if (byte < 127) {
        line += static_cast<char>(byte);
    } else if (byte == 127) {
        line += kDeleteName;
    } else {
        line += kHighName;
    }
}

void AppendHex(std::string& line, uint8_t byte) {
    char text[4];
    std::snprintf(text, sizeof text, kHexByte, byte);
    line += text;
}

void AppendPrefix(std::string& line, bool sent, uint32_t frameCount, uint32_t offset) {
    char text[32];
    if (sent) {
        std::snprintf(text, sizeof text, kSentPrefix, offset);
    } else {
        std::snprintf(text, sizeof text, kReceivedPrefix, frameCount, offset);
    }
    line += text;
}

}  // namespace

std::string_view ControlCharacterName(uint8_t byte) {
    return byte < kControlNames.size() ? kControlNames[byte] : std::string_view{};
}

size_t BytesPerLine(int format) {
    return format == kDisplayHex || format == kDisplayMixed ? 16 : 50;
}

std::string FormatFrameText(std::span<const uint8_t> bytes, int format, bool sent,
                            uint32_t frameCount) {
    std::string text;
    const size_t perLine = BytesPerLine(format);
    uint32_t offset = 0;
    while (offset < bytes.size()) {
        const auto line = bytes.subspan(offset, std::min(perLine, bytes.size() - offset));
        AppendPrefix(text, sent, frameCount, offset);
        if (format == kDisplayHex || format == kDisplayMixed) {
            for (uint8_t byte : line) {
                AppendHex(text, byte);
            }
        }
        if (format == kDisplayMixed) {
            text += ' ';
            for (uint8_t byte : line) {
                text += byte >= 32 && byte <= 126 ? static_cast<char>(byte) : '.';
            }
        } else if (format != kDisplayHex) {
            for (uint8_t byte : line) {
                AppendAscii(text, byte);
            }
        }
        text += kLineEnd;
        offset += static_cast<uint32_t>(line.size());
    }
    return text;
}

}  // namespace qorval::analyser
