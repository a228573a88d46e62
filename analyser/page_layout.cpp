#include "analyser/page_layout.h"

#include <algorithm>
#include <string>

namespace qorval::analyser {

std::string SubstitutePageFields(std::string_view pattern, int pageNumber,
                                 std::string_view documentName) {
    const size_t page = pattern.find("&p");
    const size_t file = pattern.find("&f");
    std::string text;
    text.reserve(pattern.size() + documentName.size() + 12);
    for (size_t at = 0; at < pattern.size();) {
        if (at == page) {
            text += std::to_string(pageNumber);
            at += 2;
        } else if (at == file) {
            text += documentName;
            at += 2;
        } else {
            text += pattern[at++];
        }
    }
    return text;
}

PageLayout ComputePageLayout(const PageRect& printable, int lineHeight, bool hasHeader,
                             bool hasFooter) {
    const int h = std::max(lineHeight, 0);
    const int q = h / 4;
    PageLayout layout;
    layout.body = printable;
    if (hasHeader) {
        layout.header = PageBand{{printable.left, printable.top, printable.width, h},
                                 printable.top + h + q};
        layout.body.top += h + 2 * q;
    }
    if (hasFooter) {
        const int textTop = printable.Bottom() - h;
        layout.footer = PageBand{{printable.left, textTop, printable.width, h}, textTop - q};
    }
    const int bodyBottom = printable.Bottom() - (hasFooter ? h + 2 * q : 0);
    layout.body.height = std::max(bodyBottom - layout.body.top, 0);
    return layout;
}

}  // namespace qorval::analyser
