#include "analyser/send_block_reader.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "analyser/tests/engine_fixture.h"

namespace qorval::analyser {
namespace {

// The next `count` blocks of `file` read with blocks of at most `maximum` bytes.
std::vector<std::string> Blocks(const std::string& file, size_t count, size_t maximum = 64) {
    MemorySource source(reinterpret_cast<const uint8_t*>(file.data()), file.size());
    std::vector<std::string> blocks;
    std::vector<uint8_t> buffer(maximum + 1);
    for (size_t i = 0; i < count; ++i) {
        const size_t n = ReadSendBlock(source, maximum, buffer.data());
        blocks.emplace_back(buffer.begin(), buffer.begin() + static_cast<ptrdiff_t>(n));
    }
    return blocks;
}

using Blocks_t = std::vector<std::string>;

TEST(SendBlockReader, HashEscapes) {
    EXPECT_EQ(Blocks("01#0203\n##\n", 2), (Blocks_t{"01\x02"
                                                    "03",
                                                    "#"}));
    struct Case {
        const char* line;
        std::string bytes;
    } cases[] = {
        {"#41\n", "A"},
        {"#a0#FF\n", "\xA0\xFF"},
        {"#4G\n", std::string("\x04G")},  // one digit: its value, then the next character
        {"#4#41\n", std::string("\x04"
                                "A")},    // the next character may start another escape
        {"#G\n", "G"},                    // not a digit: that character alone
        {"x#4\n", std::string("x\x04")},  // one digit at the line end
        {"#\nB\n", "\nB"},                // "#" before the line end keeps the line feed
    };
    for (const Case& c : cases) {
        EXPECT_EQ(Blocks(c.line, 1)[0], c.bytes) << c.line;
    }
}

TEST(SendBlockReader, FileIsReadCyclically) {
    EXPECT_EQ(Blocks("ABC\n", 2), (Blocks_t{"ABC", "ABC"}));
    // A last line without a line end runs on into the first line within one block.
    EXPECT_EQ(Blocks("AB\nCD", 3), (Blocks_t{"AB", "CDAB", "CDAB"}));
    EXPECT_EQ(Blocks("\n\nX\n\n", 2), (Blocks_t{"X", "X"}));
}

TEST(SendBlockReader, LongLineIsSplitByTheLargestFrame) {
    EXPECT_EQ(Blocks("ABCDEFGH\n", 3, 4), (Blocks_t{"ABCD", "EFGH", "ABCD"}));
    EXPECT_EQ(Blocks("AB#41#42CD\n", 2, 3), (Blocks_t{"ABA", "BCD"}));
}

TEST(SendBlockReader, FileWithoutDataGivesAnEmptyBlockInsteadOfLoopingForEver) {
    EXPECT_EQ(Blocks("", 2), (Blocks_t{"", ""}));
    EXPECT_EQ(Blocks("\n\n\n", 2), (Blocks_t{"", ""}));
    EXPECT_EQ(Blocks("AB", 1, 0), (Blocks_t{""}));
}

TEST(SendBlockReader, TextFileLineEndsAreCarriageReturnLineFeed) {
    const auto dir = testing::MakeTempDir();
    const auto path = dir / "send.txt";
    std::ofstream(path, std::ios::binary) << "AB\r\nC\rD\r\n";
    ExclusiveFile file;
    ASSERT_TRUE(file.Open(path, ExclusiveFile::Mode::Read, true));
    uint8_t buffer[16];
    EXPECT_EQ(std::string(buffer, buffer + ReadSendBlock(file, 15, buffer)), "AB");
    EXPECT_EQ(std::string(buffer, buffer + ReadSendBlock(file, 15, buffer)), "C\rD");
    // A second open of the same file is refused while this one holds it.
    ExclusiveFile second;
    EXPECT_FALSE(second.Open(path, ExclusiveFile::Mode::Read, true));
    file.Close();
    std::filesystem::remove_all(dir);
}

}  // namespace
}  // namespace qorval::analyser
