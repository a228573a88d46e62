#include "platform/file_filter.h"

#include <gtest/gtest.h>

namespace qorval::ui {
namespace {

using Patterns = std::vector<std::string>;

TEST(FileFilter, LabelsAndPatternsWithBlanksAroundTheBars) {
    const auto entries = ParseFileFilter("Log Files (*.log) | *.log | All Files (*.*) | *.* ||");
    ASSERT_EQ(entries.size(), 2u);
    EXPECT_EQ(entries[0].label, "Log Files (*.log)");
    EXPECT_EQ(entries[0].patterns, Patterns{"*.log"});
    EXPECT_EQ(entries[1].label, "All Files (*.*)");
    EXPECT_EQ(entries[1].patterns, Patterns{"*"}) << "*.* must also match names without a dot";
}

TEST(FileFilter, SeveralPatternsInOneEntry) {
    const auto entries = ParseFileFilter("Text (*.txt;*.mac)|*.txt; *.mac|");
    ASSERT_EQ(entries.size(), 1u);
    EXPECT_EQ(entries[0].patterns, (Patterns{"*.txt", "*.mac"}));
}

TEST(FileFilter, EndsAtTheEmptyLabelAndSkipsEntriesWithoutPatterns) {
    EXPECT_TRUE(ParseFileFilter("").empty());
    EXPECT_TRUE(ParseFileFilter("||").empty());
    EXPECT_TRUE(ParseFileFilter("Lonely label").empty());
    const auto entries = ParseFileFilter("No patterns||Text|*.txt||After|*.a||");
    ASSERT_EQ(entries.size(), 1u) << "a label without patterns is skipped; \"||\" ends the list";
    EXPECT_EQ(entries[0].label, "Text");
    const auto some = ParseFileFilter("Empty| |Text|*.txt||After|*.a");
    ASSERT_EQ(some.size(), 1u);
    EXPECT_EQ(some[0].label, "Text");
}

}  // namespace
}  // namespace qorval::ui
