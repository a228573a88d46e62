// One printed page of a capture window: the header and footer texts with their "&p" and "&f"
// fields, and where the header, the footer, their rules and the body go on the page. All
// measures are the printer's device units.
#pragma once

#include <optional>
#include <string>
#include <string_view>

namespace qorval::analyser {

// The first "&p" becomes the page number, the first "&f" the document's name (its path, or
// its title when it has none); later occurrences stay as written. Both fields are looked for
// in the text as the user wrote it, so a name that itself holds "&p" is printed as it is.
std::string SubstitutePageFields(std::string_view pattern, int pageNumber,
                                 std::string_view documentName);

struct PageRect {
    int left = 0;
    int top = 0;
    int width = 0;
    int height = 0;

    int Bottom() const { return top + height; }
    bool operator==(const PageRect&) const = default;
};

// A line of text with the horizontal rule that sets it off from the body.
struct PageBand {
    PageRect text;  // one line high, at the left of the printable area
    int ruleY = 0;  // the rule runs across the printable area at this height
};

struct PageLayout {
    std::optional<PageBand> header;
    std::optional<PageBand> footer;
    PageRect body;
};

// With line height h and q = h / 4: a header takes its line, the rule at h + q and a further
// q, so the body starts at h + 2q; a footer takes h + 2q from the bottom, its line at the
// bottom with the rule q above it. An empty header or footer takes nothing. The body is never
// given a negative height.
PageLayout ComputePageLayout(const PageRect& printable, int lineHeight, bool hasHeader,
                             bool hasFooter);

}  // namespace qorval::analyser
