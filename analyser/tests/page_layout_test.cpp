// The header and footer fields and where the bands and the body go on a page.
#include "analyser/page_layout.h"

#include <gtest/gtest.h>

namespace qorval::analyser {
namespace {

TEST(PageFieldsTest, OnlyTheFirstOfEachFieldIsReplaced) {
    EXPECT_EQ(SubstitutePageFields("File: &f", 1, "/tmp/cap.txt"), "File: /tmp/cap.txt");
    EXPECT_EQ(SubstitutePageFields("&f and &f", 1, "Lombex1"), "Lombex1 and &f");
    EXPECT_EQ(SubstitutePageFields("Page &p of &p", 12, "x"), "Page 12 of &p");
    EXPECT_EQ(SubstitutePageFields("&p/&f", 3, "n"), "3/n");
    EXPECT_EQ(SubstitutePageFields("no fields & p &", 3, "n"), "no fields & p &");
    EXPECT_EQ(SubstitutePageFields("", 3, "n"), "");
}

TEST(PageFieldsTest, ADocumentNameHoldingAFieldIsPrintedAsItIs) {
    EXPECT_EQ(SubstitutePageFields("&f, page &p", 2, "/tmp/a&pb&f"), "/tmp/a&pb&f, page 2");
    EXPECT_EQ(SubstitutePageFields("&f", 2, ""), "");
}

constexpr PageRect kPrintable{100, 200, 1000, 2000};

TEST(PageLayoutTest, HeaderAndFooterTakeALineAndAQuarterLineEitherSideOfTheirRules) {
    const PageLayout layout = ComputePageLayout(kPrintable, 42, true, true);  // q = 10
    ASSERT_TRUE(layout.header && layout.footer);
    EXPECT_EQ(layout.header->text, (PageRect{100, 200, 1000, 42}));
    EXPECT_EQ(layout.header->ruleY, 200 + 42 + 10);
    EXPECT_EQ(layout.footer->text, (PageRect{100, 2200 - 42, 1000, 42}));
    EXPECT_EQ(layout.footer->ruleY, 2200 - 42 - 10);
    EXPECT_EQ(layout.body, (PageRect{100, 200 + 42 + 20, 1000, 2000 - 2 * (42 + 20)}));
}

TEST(PageLayoutTest, AnEmptyHeaderOrFooterLeavesItsSpaceToTheBody) {
    const PageLayout none = ComputePageLayout(kPrintable, 40, false, false);
    EXPECT_FALSE(none.header || none.footer);
    EXPECT_EQ(none.body, kPrintable);

    const PageLayout footerOnly = ComputePageLayout(kPrintable, 40, false, true);
    EXPECT_FALSE(footerOnly.header);
    EXPECT_EQ(footerOnly.body, (PageRect{100, 200, 1000, 2000 - 60}));

    const PageLayout headerOnly = ComputePageLayout(kPrintable, 40, true, false);
    EXPECT_EQ(headerOnly.body, (PageRect{100, 260, 1000, 2000 - 60}));
}

TEST(PageLayoutTest, APageTooShortForItsBandsLeavesAnEmptyBody) {
    const PageLayout layout = ComputePageLayout({0, 0, 500, 100}, 40, true, true);
    EXPECT_EQ(layout.body.height, 0);
}

}  // namespace
}  // namespace qorval::analyser
