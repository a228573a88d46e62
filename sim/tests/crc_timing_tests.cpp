// Frame checks against published check values, bit stuffing, and the clock tree's bit rate.

#include <gtest/gtest.h>

#include <string_view>

#include "sim/crc.h"
#include "sim/iusc_state.h"
#include "sim/line_timing.h"

namespace qorval::sim {
namespace {

std::vector<uint8_t> Bytes(std::string_view text) {
    return {text.begin(), text.end()};
}

TEST(FrameCheck, MatchesTheStandardCheckValuesWithPresetOnes) {
    const auto digits = Bytes("123456789");
    // CRC-16/X.25 0x906E and CRC-32 0xCBF43926, sent low byte first.
    EXPECT_EQ(FrameCheck(CrcKind::Ccitt16, true, digits), (std::vector<uint8_t>{0x6E, 0x90}));
    EXPECT_EQ(FrameCheck(CrcKind::Crc32, true, digits),
              (std::vector<uint8_t>{0x26, 0x39, 0xF4, 0xCB}));
    EXPECT_TRUE(FrameCheck(CrcKind::None, true, digits).empty());
}

TEST(FrameCheck, ReceiverAcceptsOnlyAnIntactFrameWithTheSamePreset) {
    for (CrcKind kind : {CrcKind::Ccitt16, CrcKind::Crc32}) {
        for (bool ones : {false, true}) {
            auto frame = Bytes("frame body");
            const auto check = FrameCheck(kind, ones, frame);
            frame.insert(frame.end(), check.begin(), check.end());
            EXPECT_TRUE(FrameCheckMatches(kind, ones, frame));
            EXPECT_FALSE(FrameCheckMatches(kind, !ones, frame));
            frame[3] ^= 0x01;
            EXPECT_FALSE(FrameCheckMatches(kind, ones, frame));
        }
    }
    EXPECT_FALSE(FrameCheckMatches(CrcKind::Crc32, true, Bytes("abc")));  // shorter than check
    EXPECT_TRUE(FrameCheckMatches(CrcKind::None, true, {}));
}

TEST(BitStuffing, AZeroFollowsEveryRunOfFiveOnes) {
    const struct {
        std::vector<uint8_t> wire;
        uint64_t bits;
    } cases[] = {
        {{0x00}, 8},           {{0x1F}, 9}, {{0x3E}, 9},  // five ones, anywhere
        {{0x0F}, 8},           {{0xFF}, 9}, {{0xFF, 0xFF}, 19},
        {{0x7E}, 9},            // a flag pattern inside a frame is broken up
        {{0xF8, 0x03}, 9 + 8},  // a run across a byte boundary (sent bit 0 first)
    };
    for (const auto& c : cases) {
        EXPECT_EQ(StuffedBits(c.wire), c.bits) << int(c.wire[0]);
    }
}

TEST(BitStuffing, FrameOnTheLineAddsPreambleAndFlags) {
    const std::vector<uint8_t> one_byte = {0x00};
    EXPECT_EQ(FrameBitsOnLine(0x8080, one_byte), 24u);
    EXPECT_EQ(FrameBitsOnLine(0x9080, one_byte), 32u);  // 8 preamble bits
    EXPECT_EQ(FrameBitsOnLine(0x9480, one_byte), 40u);
    EXPECT_EQ(FrameBitsOnLine(0x9880, one_byte), 56u);
    EXPECT_EQ(FrameBitsOnLine(0x9C80, one_byte), 88u);  // 64 preamble bits
}

TEST(ClockTree, TransmitRateFollowsTheClockProgramme) {
    const ClockInputs clocks{.oscillator_hz = 20e6, .rxc_pin_hz = 1e6, .txc_pin_hz = 64000};
    const struct {
        uint16_t cmcr, hcr, tc0r;
        double rate;
    } cases[] = {
        {0x0021, 0x0001, 126, 20e6 / 127},       // the default port: BRG0 from the oscillator
        {0x0021, 0x0000, 126, 0.0},              // generator disabled: no clock
        {0x0019, 0x0401, 126, 20e6 / 127 / 16},  // DPLL, divide by 16
        {0x0019, 0x0801, 126, 20e6 / 127 / 8},
        {0x0019, 0x0001, 126, 20e6 / 127 / 32},
        {0x00D9, 0x0401, 0, 1e6 / 16},  // DPLL from the RxC pin
        {0x0012, 0x0000, 0, 64000},     // TxC pin
        {0x0009, 0x0000, 0, 1e6},       // RxC pin
        {0x0221, 0x0001, 9, 1e6 / 10},  // BRG0 from the RxC pin
        {0x0321, 0x0001, 0, 64000},     // BRG0 from the TxC pin
        {0x0001, 0x0001, 126, 0.0},     // no transmit clock selected
    };
    for (const auto& c : cases) {
        IuscState chip;
        chip.cmcr = c.cmcr;
        chip.hcr = c.hcr;
        chip.tc0r = c.tc0r;
        EXPECT_DOUBLE_EQ(TransmitBitRate(chip, clocks), c.rate) << std::hex << c.cmcr;
    }
}

TEST(ClockTree, BitsToNanosecondsRoundsUpAndIgnoresNoRate) {
    EXPECT_EQ(BitsToNanoseconds(1, 3e9), 1u);
    EXPECT_EQ(BitsToNanoseconds(64000, 64000), 1'000'000'000u);
    EXPECT_EQ(BitsToNanoseconds(100, 0.0), 0u);
}

}  // namespace
}  // namespace qorval::sim
