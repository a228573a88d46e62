#include "analyser/frame_format.h"

#include <gtest/gtest.h>

#include <numeric>
#include <vector>

namespace qorval::analyser {
namespace {

std::vector<uint8_t> Sequence(size_t n) {
    std::vector<uint8_t> bytes(n);
    std::iota(bytes.begin(), bytes.end(), uint8_t{0});
    return bytes;
}

TEST(FrameFormat, HexFrameOf20BytesSplitsAfter16) {
    EXPECT_EQ(FormatFrameText(Sequence(20), kDisplayHex, false, 1),
              "0001 0000 00 01 02 03 04 05 06 07 08 09 0A 0B 0C 0D 0E 0F \r\n"
              "0001 0010 10 11 12 13 \r\n");
}

TEST(FrameFormat, AsciiRendersControlDeleteAndHighBytesWithoutSeparators) {
    const std::vector<uint8_t> bytes = {0x41, 0x20, 0x0D, 0x7F, 0x80};
    EXPECT_EQ(FormatFrameText(bytes, kDisplayAscii, false, 1),
              "0001 0000 A<SP><CR><DEL><HIGH>\r\n");
}

TEST(FrameFormat, MixedShowsHexThenPrintableCharacters) {
    const std::vector<uint8_t> bytes = {0x41, 0x00, 0x42};
    EXPECT_EQ(FormatFrameText(bytes, kDisplayMixed, false, 2), "0002 0000 41 00 42  A.B\r\n");
}

TEST(FrameFormat, ControlCharacterTableIsExact) {
    std::string all;
    for (uint8_t byte = 0; byte <= 32; ++byte) {
        all += ControlCharacterName(byte);
    }
    EXPECT_EQ(all,
              "<NUL><SOH><STX><ETX><EOT><ENQ><ACU><BEL><ES><HT><LF><VT><FF><CR><SO><SI><DLE>"
              "<DC1><DC2><DC3><DC4><AAK><SYU><ETB><CAN><EM><SUB><ESC><FS><GS><RS><VS><SP>");
}

TEST(FrameFormat, SentFramesCarryNoFrameNumber) {
    EXPECT_EQ(FormatFrameText(Sequence(17), kDisplayHex, true, 7).substr(0, 10), "SENT 0000 ");
    EXPECT_NE(FormatFrameText(Sequence(17), kDisplayHex, true, 7).find("\r\nSENT 0010 10 \r\n"),
              std::string::npos);
}

struct SplitCase {
    int format;
    size_t length;
    size_t lines;
    const char* lastPrefix;
};

TEST(FrameFormat, LinesSplitByTheFormatsWidth) {
    const SplitCase cases[] = {
        {kDisplayAscii, 1, 1, "0001 0000 "},
        {kDisplayAscii, 50, 1, "0001 0000 "},
        {kDisplayAscii, 51, 2, "0001 0032 "},
        {kDisplayHex, 16, 1, "0001 0000 "},
        {kDisplayHex, 33, 3, "0001 0020 "},
        {kDisplayMixed, 32, 2, "0001 0010 "},
        {7, 51, 2, "0001 0032 "},  // an unknown format displays as ASCII
    };
    for (const SplitCase& c : cases) {
        const std::string text =
            FormatFrameText(std::vector<uint8_t>(c.length, 'x'), c.format, false, 1);
        size_t lines = 0;
        for (size_t at = text.find("\r\n"); at != std::string::npos;
             at = text.find("\r\n", at + 2)) {
            ++lines;
        }
        EXPECT_EQ(lines, c.lines) << c.format << "/" << c.length;
        const size_t last = text.rfind("\r\n", text.size() - 3);
        EXPECT_EQ(text.substr(last == std::string::npos ? 0 : last + 2, 10), c.lastPrefix);
    }
}

TEST(FrameFormat, EmptyFrameGivesNoLine) {
    EXPECT_EQ(FormatFrameText({}, kDisplayHex, false, 1), "");
}

TEST(FrameFormat, NumbersAboveFourDigitsPrintInFull) {
    EXPECT_EQ(FormatFrameText(Sequence(1), kDisplayHex, false, 0x12345), "12345 0000 00 \r\n");
    const std::string text =
        FormatFrameText(std::vector<uint8_t>(0x10010, 0), kDisplayHex, false, 1);
    EXPECT_NE(text.find("\r\n0001 10000 00 "), std::string::npos);
    EXPECT_NE(text.find("\r\n0001 FFF0 00 "), std::string::npos);
}

}  // namespace
}  // namespace qorval::analyser
