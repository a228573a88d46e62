#include "analyser/print_pages.h"

#include <algorithm>
#include <cstdint>

namespace qorval::analyser {
namespace {

constexpr char32_t kReplacement = 0xFFFD;

struct Decoded {
    char32_t code;
    size_t length;
};

// One UTF-8 character at `at`; a byte that does not start a well-formed sequence counts as one
// replacement character, so any text can be measured.
Decoded DecodeAt(std::string_view text, size_t at) {
    const auto byte = [&](size_t i) { return static_cast<unsigned char>(text[i]); };
    const unsigned char lead = byte(at);
    if (lead < 0x80) {
        return {lead, 1};
    }
    size_t length = 0;
    char32_t code = 0;
    char32_t least = 0;
    if ((lead & 0xE0) == 0xC0) {
        length = 2, code = lead & 0x1F, least = 0x80;
    } else if ((lead & 0xF0) == 0xE0) {
        length = 3, code = lead & 0x0F, least = 0x800;
    } else if ((lead & 0xF8) == 0xF0) {
        length = 4, code = lead & 0x07, least = 0x10000;
    } else {
        return {kReplacement, 1};
    }
    if (at + length > text.size()) {
        return {kReplacement, 1};
    }
    for (size_t i = 1; i < length; ++i) {
        if ((byte(at + i) & 0xC0) != 0x80) {
            return {kReplacement, 1};
        }
        code = (code << 6) | (byte(at + i) & 0x3F);
    }
    if (code < least || code > 0x10FFFF || (code >= 0xD800 && code <= 0xDFFF)) {
        return {kReplacement, 1};
    }
    return {code, length};
}

bool IsBlank(char32_t c) {
    return c == ' ' || c == '\t';
}

int NextTabStop(int x, const PrintMetrics& metrics) {
    if (metrics.tabDistance <= 0) {
        return x + metrics.advance(' ');
    }
    return (x / metrics.tabDistance + 1) * metrics.tabDistance;
}

int Advance(char32_t c, int x, const PrintMetrics& metrics) {
    return c == '\t' ? NextTabStop(x, metrics) - x : metrics.advance(c);
}

// Breaks the line [begin, end) (no line ends inside) to the body's width.
void WrapLine(std::string_view text, size_t begin, size_t end, const PrintMetrics& metrics,
              std::vector<PrintLine>& lines) {
    if (begin == end) {
        lines.push_back({begin, begin});
        return;
    }
    size_t start = begin;
    while (start < end) {
        int x = 0;
        size_t at = start;
        size_t blankRun = std::string_view::npos;  // where the last blank run began
        size_t afterBlanks = std::string_view::npos;
        bool previousBlank = false;
        bool broke = false;
        while (at < end) {
            const Decoded c = DecodeAt(text, at);
            const bool blank = IsBlank(c.code);
            const int width = Advance(c.code, x, metrics);
            if (!blank && at > start && x + width > metrics.bodyWidth) {
                const bool atBlanks = blankRun != std::string_view::npos && blankRun > start;
                lines.push_back({start, atBlanks ? blankRun : at});
                start = atBlanks ? afterBlanks : at;
                broke = true;
                break;
            }
            if (blank) {
                if (!previousBlank) {
                    blankRun = at;
                }
                afterBlanks = at + c.length;
            }
            previousBlank = blank;
            x += width;
            at += c.length;
        }
        if (!broke) {
            lines.push_back({start, end});
            start = end;
        }
    }
}

}  // namespace

std::vector<PrintLine> BreakIntoLines(std::string_view text, const PrintMetrics& metrics) {
    std::vector<PrintLine> lines;
    size_t at = 0;
    while (at < text.size()) {
        size_t lineEnd = text.find_first_of("\r\n", at);
        if (lineEnd == std::string_view::npos) {
            lineEnd = text.size();
        }
        WrapLine(text, at, lineEnd, metrics, lines);
        at = lineEnd;
        if (at < text.size()) {
            const bool crlf = text[at] == '\r' && at + 1 < text.size() && text[at + 1] == '\n';
            at += crlf ? 2 : 1;
        }
    }
    return lines;
}

std::vector<LineSegment> LineSegments(std::string_view text, const PrintLine& line,
                                      const PrintMetrics& metrics) {
    std::vector<LineSegment> segments;
    int x = 0;
    size_t segmentStart = line.begin;
    int segmentX = 0;
    const auto close = [&](size_t end) {
        if (end > segmentStart) {
            segments.push_back({segmentStart, end, segmentX});
        }
    };
    for (size_t at = line.begin; at < line.end;) {
        const Decoded c = DecodeAt(text, at);
        if (c.code == '\t') {
            close(at);
            x = NextTabStop(x, metrics);
            segmentStart = at + c.length;
            segmentX = x;
        } else {
            x += metrics.advance(c.code);
        }
        at += c.length;
    }
    close(line.end);
    return segments;
}

std::vector<PrintPage> Paginate(size_t lineCount, int bodyHeight, int lineHeight) {
    const size_t perPage =
        static_cast<size_t>(std::max(1, bodyHeight / std::max(lineHeight, 1)));
    std::vector<PrintPage> pages;
    for (size_t first = 0; first < lineCount; first += perPage) {
        pages.push_back({first, std::min(perPage, lineCount - first)});
    }
    if (pages.empty()) {
        pages.push_back({0, 0});
    }
    return pages;
}

size_t PageOfOffset(const std::vector<PrintPage>& pages, const std::vector<PrintLine>& lines,
                    size_t offset) {
    if (pages.empty()) {
        return 0;
    }
    const auto after = std::upper_bound(lines.begin(), lines.end(), offset,
                                        [](size_t o, const PrintLine& l) { return o < l.begin; });
    const size_t line = after == lines.begin() ? 0 : static_cast<size_t>(after - lines.begin()) - 1;
    for (size_t page = 0; page < pages.size(); ++page) {
        if (line < pages[page].firstLine + pages[page].lineCount) {
            return page;
        }
    }
    return pages.size() - 1;
}

int ScaleFontHeight(int height, int fromPixelsPerInch, int toPixelsPerInch) {
    if (fromPixelsPerInch <= 0 || toPixelsPerInch <= 0) {
        return height;
    }
    const int64_t product = static_cast<int64_t>(height) * toPixelsPerInch;
    const int64_t half = fromPixelsPerInch / 2;
    const int64_t rounded = (product >= 0 ? product + half : product - half) / fromPixelsPerInch;
    return static_cast<int>(std::clamp<int64_t>(rounded, INT32_MIN, INT32_MAX));
}

}  // namespace qorval::analyser
