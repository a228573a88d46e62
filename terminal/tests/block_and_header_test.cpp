// Block layout, checks and YMODEM headers, against values worked out independently.

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "terminal/xmodem_block.h"
#include "terminal/ymodem_header.h"

namespace qorval::terminal {
namespace {

std::vector<uint8_t> Bytes(std::string_view text) {
    return {text.begin(), text.end()};
}

TEST(Checks, KnownValues) {
    // The published check value of this CRC for "123456789".
    EXPECT_EQ(Crc16(Bytes("123456789")), 0x31C3);
    EXPECT_EQ(Crc16({}), 0x0000);
    EXPECT_EQ(Checksum(Bytes("123456789")),
              (0x31 + 0x32 + 0x33 + 0x34 + 0x35 + 0x36 + 0x37 + 0x38 + 0x39) & 0xFF);
    const std::vector<uint8_t> ff(128, 0xFF);
    EXPECT_EQ(Checksum(ff), (128 * 0xFF) & 0xFF);
}

TEST(Blocks, SizeFollowsProtocolAndRemainder) {
    struct Case {
        Protocol protocol;
        uint64_t remaining;
        size_t size;
    };
    for (const Case c : {Case{Protocol::Xmodem, 5000, 128}, Case{Protocol::Xmodem1K, 1024, 1024},
                         Case{Protocol::Xmodem1K, 1023, 128}, Case{Protocol::Ymodem, 1, 128},
                         Case{Protocol::YmodemG, 1 << 20, 1024}}) {
        EXPECT_EQ(DataBlockSize(c.protocol, c.remaining), c.size)
            << static_cast<int>(c.protocol) << " " << c.remaining;
    }
}

TEST(Blocks, ShortLastBlockIsPaddedAndChecked) {
    // The tail of a 1500-byte file sent with 1K blocks: 1024, then 128-byte blocks, the last
    // holding 92 bytes and 36 bytes of padding.
    std::vector<uint8_t> data(92);
    for (size_t i = 0; i < data.size(); ++i) {
        data[i] = static_cast<uint8_t>(i * 7);
    }
    std::array<uint8_t, kMaxBlockFrame> frame{};
    for (const bool crc : {true, false}) {
        const size_t n = BuildBlock(frame, 0xFF, data, 128, crc, 0xFF);
        ASSERT_EQ(n, 3 + 128 + (crc ? 2u : 1u));
        EXPECT_EQ(frame[0], kSoh);
        EXPECT_EQ(frame[1], 0xFF);
        EXPECT_EQ(frame[2], 0x00);
        EXPECT_TRUE(std::equal(data.begin(), data.end(), frame.begin() + 3));
        EXPECT_TRUE(std::all_of(frame.begin() + 3 + 92, frame.begin() + 3 + 128,
                                [](uint8_t b) { return b == 0xFF; }));
        const std::span<const uint8_t> field(frame.data() + 3, 128);
        EXPECT_TRUE(CheckMatches(field, {frame.data() + 131, n - 131}, crc));
        frame[10] ^= 1;
        EXPECT_FALSE(CheckMatches(field, {frame.data() + 131, n - 131}, crc));
    }
    const size_t large = BuildBlock(frame, 2, std::vector<uint8_t>(1024, 1), 1024, true, 0xFF);
    EXPECT_EQ(large, kMaxBlockFrame);
    EXPECT_EQ(frame[0], kStx);
}

TEST(YmodemHeaders, BuildAndParse) {
    const HeaderBlock h = BuildYmodemHeader("/home/user/data/report.bin", 1234567);
    const std::string expected = std::string("report.bin") + '\0' + "1234567";
    EXPECT_TRUE(std::equal(expected.begin(), expected.end(), h.begin()));
    EXPECT_TRUE(std::all_of(h.begin() + expected.size(), h.end(), [](uint8_t b) { return !b; }));
    const YmodemHeader parsed = ParseYmodemHeader(h);
    EXPECT_EQ(parsed.name, "report.bin");
    EXPECT_EQ(parsed.size, 1234567u);

    const HeaderBlock end = BuildEndOfBatchHeader();
    EXPECT_EQ(end[0], 0);
    EXPECT_EQ(end[1], '0');
    EXPECT_TRUE(ParseYmodemHeader(end).name.empty());

    // A name too long for the block still leaves room for the length.
    const YmodemHeader longer = ParseYmodemHeader(BuildYmodemHeader(std::string(300, 'n'), 99));
    EXPECT_EQ(longer.size, 99u);
    EXPECT_EQ(longer.name.size(), 128u - 4);
}

TEST(YmodemHeaders, ParseWhatOtherSendersWrite) {
    struct Case {
        std::string block;
        std::string name;
        std::optional<uint64_t> size;
    };
    const std::vector<Case> cases = {
        {std::string("a.txt") + '\0' + "200 14774517230 100644 0 1 200", "a.txt", 200},
        {std::string("b") + '\0' + "", "b", std::nullopt},
        {std::string("c") + '\0' + "-5", "c", std::nullopt},
        {std::string("d") + '\0' + "99999999999999999999999", "d", std::nullopt},
        {std::string("e") + '\0' + " 42", "e", 42},
        {std::string(128, 'x'), std::string(128, 'x'), std::nullopt},  // no 0 byte at all
    };
    for (const auto& c : cases) {
        std::vector<uint8_t> block(c.block.begin(), c.block.end());
        block.resize(128, 0);
        const YmodemHeader h = ParseYmodemHeader(block);
        EXPECT_EQ(h.name, c.name);
        EXPECT_EQ(h.size, c.size) << c.name;
    }
    // Digits that run to the very end of the block are read within it.
    std::vector<uint8_t> full(128, '7');
    full[0] = 'f';
    full[1] = 0;
    EXPECT_FALSE(ParseYmodemHeader(full).size.has_value());  // 126 digits: too large
}

TEST(YmodemHeaders, PrintableNameEscapesControls) {
    EXPECT_EQ(PrintableName("a\x01z\xff"), "a\\x01z\\xFF");
}

}  // namespace
}  // namespace qorval::terminal
