#include "analyser/frame_format.h"

#include <array>

namespace qorval::analyser {
namespace {

constexpr std::array<std::string_view, 33> kControlNames = {
    "<NUL>", "<SOH>", "<STX>", "<ETX>", "<EOT>", "<ENQ>", "<ACU>", "<BEL>", "<ES>",
    "<HT>",  "<LF>",  "<VT>",  "<FF>",  "<CR>",  "<SO>",  "<SI>",  "<DLE>", "<DC1>",
    "<DC2>", "<DC3>", "<DC4>", "<AAK>", "<SYU>", "<ETB>", "<CAN>", "<EM>",  "<SUB>",
    "<ESC>", "<FS>",  "<GS>",  "<RS>",  "<VS>",  "<SP>"};
constexpr std::string_view kDeleteName = "<DEL>";
constexpr std::string_view kHighName = "<HIGH>";
constexpr std::string_view kSentPrefix = "SENT ";
constexpr std::string_view kLineEnd = "\r\n";
constexpr char kHexDigits[] = "0123456789ABCDEF";

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

// "%02X " of the byte. Written by hand: a formatted print per byte was a third of the
// analyser's processor time per frame at the line's full rate.
void AppendHex(std::string& line, uint8_t byte) {
    const char text[3] = {kHexDigits[byte >> 4], kHexDigits[byte & 0x0F], ' '};
    line.append(text, sizeof text);
}

// "%04X %04X " of the frame count and the offset, or "SENT %04X " of the offset.
void AppendPrefix(std::string& line, bool sent, uint32_t frameCount, uint32_t offset) {
    AppendFrameLabel(line, sent, frameCount);
    AppendFrameNumber(line, offset);
}

}  // namespace

void AppendFrameNumber(std::string& line, uint32_t value) {
    char text[9];
    int digits = 0;
    do {
        text[sizeof text - 1 - digits++] = kHexDigits[value & 0x0F];
        value >>= 4;
    } while (value != 0 || digits < 4);
    line.append(text + sizeof text - digits, static_cast<size_t>(digits));
    line += ' ';
}

void AppendFrameLabel(std::string& line, bool sent, uint32_t frameCount) {
    if (sent) {
        line += kSentPrefix;
    } else {
        AppendFrameNumber(line, frameCount);
    }
}

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
    // A hexadecimal or mixed line is at most 10 + 3 * 16 + 1 + 16 + 2 bytes for 16 bytes.
    text.reserve((bytes.size() / perLine + 1) * 80);
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
