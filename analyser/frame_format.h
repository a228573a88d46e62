// The three display formats of a frame: every line is a prefix (frame number and offset, or
// "SENT" and offset), the formatted bytes, and a carriage return and line feed.
#pragma once

#include <cstdint>
#include <span>
#include <string>
#include <string_view>

namespace qorval::analyser {

enum DisplayFormat : int { kDisplayAscii = 0, kDisplayHex = 1, kDisplayMixed = 2 };

// The name an ASCII display shows for a byte 0..32 ("<NUL>" ... "<SP>").
std::string_view ControlCharacterName(uint8_t byte);

// Appends "%04X " of the value (a frame number or an offset): at least four digits, more when
// it needs them.
void AppendFrameNumber(std::string& line, uint32_t value);
// Appends what begins each line of a frame: "SENT " for a sent frame, else the frame number.
void AppendFrameLabel(std::string& line, bool sent, uint32_t frameCount);

// Bytes per display line of a format; formats other than 1 and 2 display as ASCII.
size_t BytesPerLine(int format);

// All display lines of one frame. frameCount numbers received frames; sent frames carry
// "SENT" instead. A frame of 0 bytes gives no line.
std::string FormatFrameText(std::span<const uint8_t> bytes, int format, bool sent,
                            uint32_t frameCount);

}  // namespace qorval::analyser
