// How a capture window's text is broken into printed lines and pages. The text is UTF-8; the
// caller measures characters in the printer font, so the rule runs and is tested without a
// printer.
//
// - A line ends at a line feed, a carriage return and line feed, or a lone carriage return.
// - A line wider than the body is wrapped, whatever the view's word wrap: at the last space or
//   tab that fits (the blanks at the break are not printed), or, for a word wider than the
//   whole body, before the first character that does not fit. Every printed line holds at
//   least one character, so even a body narrower than one character makes progress.
// - A tab advances to the next multiple of the tab distance from the line's start.
// - A page holds as many whole lines as the body's height takes (at least one); the next line
//   starts the next page. Empty lines count like any other. A text that ends in a line end
//   does not print an extra empty line, and an empty text prints one empty page, so the header
//   and footer still come out.
#pragma once

#include <cstddef>
#include <functional>
#include <string_view>
#include <vector>

namespace qorval::analyser {

// The width of one character in device units.
using CharAdvance = std::function<int(char32_t)>;

// A printed line: the bytes [begin, end) of the text, without its line end.
struct PrintLine {
    size_t begin = 0;
    size_t end = 0;
    bool operator==(const PrintLine&) const = default;
};

// A run of a line without tabs, drawn at `x` from the line's start.
struct LineSegment {
    size_t begin = 0;
    size_t end = 0;
    int x = 0;
    bool operator==(const LineSegment&) const = default;
};

struct PrintPage {
    size_t firstLine = 0;  // index into the lines
    size_t lineCount = 0;
    bool operator==(const PrintPage&) const = default;
};

struct PrintMetrics {
    int bodyWidth = 0;
    int tabDistance = 0;  // 0 or less: a tab is one space wide
    CharAdvance advance;
};

std::vector<PrintLine> BreakIntoLines(std::string_view text, const PrintMetrics& metrics);

// The tab-free runs of one printed line and where each is drawn.
std::vector<LineSegment> LineSegments(std::string_view text, const PrintLine& line,
                                      const PrintMetrics& metrics);

std::vector<PrintPage> Paginate(size_t lineCount, int bodyHeight, int lineHeight);

// The 0-based page that holds the byte at `offset` (the start of the selection); the last page
// for an offset past every line, 0 when there are no pages.
size_t PageOfOffset(const std::vector<PrintPage>& pages, const std::vector<PrintLine>& lines,
                    size_t offset);

// A logical font height (negative: character height) in one device's units, given in
// another's: height × to ÷ from, rounded to the nearest unit; unchanged when either resolution
// is not positive.
int ScaleFontHeight(int height, int fromPixelsPerInch, int toPixelsPerInch);

}  // namespace qorval::analyser
