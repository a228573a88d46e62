// Breaking a capture window's text into printed lines and pages, with characters 10 units
// wide ("W" 20), so the widths can be worked out by hand.
#include "analyser/print_pages.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace qorval::analyser {
namespace {

PrintMetrics Metrics(int width, int tabDistance = 40) {
    return {width, tabDistance, [](char32_t c) { return c == 'W' ? 20 : 10; }};
}

std::vector<std::string> Printed(const std::string& text, const PrintMetrics& metrics) {
    std::vector<std::string> printed;
    for (const PrintLine& line : BreakIntoLines(text, metrics)) {
        printed.push_back(text.substr(line.begin, line.end - line.begin));
    }
    return printed;
}

using Lines = std::vector<std::string>;

TEST(PrintLinesTest, EachKindOfLineEndEndsOneLineAndAFinalOneAddsNothing) {
    EXPECT_EQ(Printed("a\r\nb\nc\rd", Metrics(500)), (Lines{"a", "b", "c", "d"}));
    EXPECT_EQ(Printed("0001 0000 41\r\n0002 0000 42\r\n", Metrics(500)),
              (Lines{"0001 0000 41", "0002 0000 42"}));
    EXPECT_EQ(Printed("\n\nx", Metrics(500)), (Lines{"", "", "x"}));
    EXPECT_EQ(Printed("a\r\r\nb", Metrics(500)), (Lines{"a", "", "b"}));
    EXPECT_TRUE(BreakIntoLines("", Metrics(500)).empty());
}

TEST(PrintLinesTest, LongLinesWrapAtTheLastBlankRunThatFitsAndDropIt) {
    EXPECT_EQ(Printed("aaa bbb ccc", Metrics(50)), (Lines{"aaa", "bbb", "ccc"}));
    EXPECT_EQ(Printed("aa bb cc", Metrics(50)), (Lines{"aa bb", "cc"}));
    EXPECT_EQ(Printed("ab    cd", Metrics(50)), (Lines{"ab", "cd"})) << "blanks hang over";
    EXPECT_EQ(Printed("abc\tde", Metrics(50)), (Lines{"abc", "de"})) << "a tab is a blank";
    EXPECT_EQ(Printed("WWW", Metrics(50)), (Lines{"WW", "W"})) << "by width, not count";
}

TEST(PrintLinesTest, AWordWiderThanTheBodyBreaksByCharacterAndEveryLineMakesProgress) {
    EXPECT_EQ(Printed("abcdefghijk", Metrics(50)), (Lines{"abcde", "fghij", "k"}));
    EXPECT_EQ(Printed("   abcdefgh", Metrics(50)), (Lines{"   ab", "cdefg", "h"}))
        << "leading blanks are not a break";
    EXPECT_EQ(Printed("abc", Metrics(5)), (Lines{"a", "b", "c"}));
    EXPECT_EQ(Printed("abc", Metrics(0)), (Lines{"a", "b", "c"}));
}

TEST(PrintLinesTest, LinesBreakBetweenUtf8CharactersAndBadBytesStillCount) {
    EXPECT_EQ(Printed("\xC3\xA9\xC3\xA9\xC3\xA9\xC3\xA9\xC3\xA9 \xC3\xA9", Metrics(50)),
              (Lines{"\xC3\xA9\xC3\xA9\xC3\xA9\xC3\xA9\xC3\xA9", "\xC3\xA9"}));
    EXPECT_EQ(Printed("\xFF\xFE\xC3", Metrics(20)), (Lines{"\xFF\xFE", "\xC3"}));
    EXPECT_EQ(Printed("\xE2\x82", Metrics(10)), (Lines{"\xE2", "\x82"}));
}

TEST(PrintLinesTest, TabsAdvanceToTheNextStopFromTheLineStart) {
    const std::string text = "a\tbc\t\td";
    const auto lines = BreakIntoLines(text, Metrics(500));
    ASSERT_EQ(lines.size(), 1u);
    EXPECT_EQ(LineSegments(text, lines[0], Metrics(500)),
              (std::vector<LineSegment>{{0, 1, 0}, {2, 4, 40}, {6, 7, 120}}));
    // Without a tab distance a tab is as wide as a space.
    EXPECT_EQ(LineSegments(text, lines[0], Metrics(500, 0)),
              (std::vector<LineSegment>{{0, 1, 0}, {2, 4, 20}, {6, 7, 60}}));
}

TEST(PrintPagesTest, PagesHoldTheWholeLinesTheBodyTakes) {
    EXPECT_EQ(Paginate(10, 95, 20),
              (std::vector<PrintPage>{{0, 4}, {4, 4}, {8, 2}}));
    EXPECT_EQ(Paginate(8, 80, 20), (std::vector<PrintPage>{{0, 4}, {4, 4}}));
    EXPECT_EQ(Paginate(3, 10, 20), (std::vector<PrintPage>{{0, 1}, {1, 1}, {2, 1}}));
    EXPECT_EQ(Paginate(0, 95, 20), (std::vector<PrintPage>{{0, 0}})) << "one empty page";
}

TEST(PrintPagesTest, TheSelectionStartFindsItsPage) {
    const std::string text = "l0\nl1\nl2\nl3\nl4";  // line n starts at byte 3n
    const auto lines = BreakIntoLines(text, Metrics(500));
    const auto pages = Paginate(lines.size(), 40, 20);  // two lines a page
    EXPECT_EQ(PageOfOffset(pages, lines, 0), 0u);
    EXPECT_EQ(PageOfOffset(pages, lines, 5), 0u) << "the line end belongs to its line";
    EXPECT_EQ(PageOfOffset(pages, lines, 6), 1u);
    EXPECT_EQ(PageOfOffset(pages, lines, 13), 2u);
    EXPECT_EQ(PageOfOffset(pages, lines, 999), 2u);
    EXPECT_EQ(PageOfOffset(Paginate(0, 40, 20), {}, 7), 0u);
}

TEST(FontScaleTest, HeightsScaleBetweenResolutionsRoundedToTheNearestUnit) {
    EXPECT_EQ(ScaleFontHeight(-16, 96, 600), -100);
    EXPECT_EQ(ScaleFontHeight(-100, 600, 96), -16);
    EXPECT_EQ(ScaleFontHeight(-13, 96, 600), -81);  // 81.25
    EXPECT_EQ(ScaleFontHeight(11, 96, 600), 69);    // 68.75
    EXPECT_EQ(ScaleFontHeight(-16, 0, 600), -16);
    EXPECT_EQ(ScaleFontHeight(2000000000, 1, 1200), INT32_MAX);
}

}  // namespace
}  // namespace qorval::analyser
