// How received pieces are shown and logged.

#include "terminal/received_text.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <string>

namespace qorval::terminal {
namespace {

TEST(ReceivedText, EditsBackspacesAndLineEnds) {
    struct Case {
        std::string piece;
        size_t erase_shown;
        std::string text;
    };
    const Case cases[] = {
        {"ab\bc", 0, "ac"},
        {"\b\bxy", 2, "xy"},
        {"a\b\b", 1, ""},  // the second backspace reaches past the piece
        {"line\r", 0, "line\r\n"},
        {"one\ntwo", 0, "onetwo"},
        {"crlf\r\n", 0, "crlf\r\n"},
        {"x\r\b\n", 0, "x"},  // the backspace takes the CR before any line end is added
        {"", 0, ""},
    };
    for (const auto& c : cases) {
        const EditedPiece e = EditReceivedPiece(c.piece);
        EXPECT_EQ(e.erase_shown, c.erase_shown) << c.piece;
        EXPECT_EQ(e.text, c.text) << c.piece;
    }
}

TEST(ReceivedText, BackspacesNeverEraseMoreThanIsShown) {
    StringTextArea area;
    ShowReceivedPiece(area, "hello", nullptr);
    ShowReceivedPiece(area, "\b\b", nullptr);
    EXPECT_EQ(area.Text(), "hel");
    ShowReceivedPiece(area, std::string(10, '\b') + "new", nullptr);
    EXPECT_EQ(area.Text(), "new");
}

TEST(ReceivedText, OldestTextIsDroppedOnceTheAreaIsFull) {
    StringTextArea area;
    std::string first(kTextAreaLimit - 1, 'a');
    ShowReceivedPiece(area, first, nullptr);
    ShowReceivedPiece(area, "b", nullptr);  // reaches the limit; nothing dropped yet
    EXPECT_EQ(area.Length(), kTextAreaLimit);
    ShowReceivedPiece(area, "c", nullptr);
    EXPECT_EQ(area.Length(), kTextAreaLimit - kTextAreaDrop + 1);
    EXPECT_EQ(area.Text().substr(area.Length() - 2), "bc");
}

TEST(ReceivedText, LogGetsTheEditedPiece) {
    std::FILE* log = std::tmpfile();
    ASSERT_NE(log, nullptr);
    StringTextArea area;
    ShowReceivedPiece(area, "ab\bc\r\nd\n", log);
    std::rewind(log);
    char buffer[64] = {};
    const size_t n = std::fread(buffer, 1, sizeof buffer, log);
    std::fclose(log);
    EXPECT_EQ(std::string(buffer, n), "ac\r\nd");
    EXPECT_EQ(area.Text(), "ac\r\nd");
}

}  // namespace
}  // namespace qorval::terminal
