// What the far end sees: wiring, modem lines, line time, impairments, and the channel settings
// that change a frame on its way (loopback, address search, bit order, idle state).

#include <gtest/gtest.h>

#include "sim/line.h"
#include "sim/tests/port_under_test.h"

namespace qorval::sim {
namespace {

using testing::PairOfPorts;
using testing::Pattern;
using testing::PortSetup;
using testing::PortUnderTest;

TEST(LineWiring, NullModemPairCrossesModemLines) {
    PairOfPorts p;
    p.a.Reg(reg::PCR, 0xE8F9);  // DTR asserted (PORT6 = 10), RTS not (PORT7 = 11)
    EXPECT_TRUE(p.b.card.GetModemInputs().dsr);
    EXPECT_TRUE(p.b.card.GetModemInputs().dcd);
    EXPECT_FALSE(p.b.card.GetModemInputs().cts);
    EXPECT_EQ(p.b.Read(reg::MISR) & 0x0550, reg::kMisrDsr | reg::kMisrDcd);
    p.b.Reg(reg::PCR, 0x78F9);  // RTS driven by the RS-485 function: not asserted as a level
    p.b.Reg(reg::PCR, 0xA8F9);
    EXPECT_TRUE(p.a.card.GetModemInputs().cts);
    EXPECT_FALSE(p.b.card.GetModemInputs().cts);
}

TEST(LineWiring, LoopbackPlugWiresAPortToItselfAndOpenLeavesInputsAlone) {
    PortUnderTest a, b;
    a.Open();
    b.Open();
    auto plug = Line::Loopback(a.card);
    a.Reg(reg::PCR, 0xB8F9);  // RTS asserted (PORT7 = 10), DTR not
    EXPECT_TRUE(a.card.GetModemInputs().cts);
    EXPECT_FALSE(a.card.GetModemInputs().dsr);

    auto open = Line::Open(b.card);
    b.card.SetModemInputs({.dsr = true});
    b.Reg(reg::PCR, 0xA8F9);
    EXPECT_TRUE(b.card.GetModemInputs().dsr);
    EXPECT_FALSE(b.card.GetModemInputs().cts);
    b.QueueFrame(0, Pattern(8));
    b.StartTransmit(0);
    open->RunUntilIdle(1'000'000);
    EXPECT_EQ(b.card.Statistics().frames_sent, 1u);
    EXPECT_EQ(b.card.Statistics().frames_received, 0u);
}

TEST(LineWiring, Rs485RtsIsAssertedOnlyWhileAFrameIsOnTheLine) {
    PairOfPorts p;
    p.line->SetRate(Line::Rate::FromClock);
    p.a.Reg(reg::PCR, 0x78F9);  // PORT7 given to the line driver enable
    EXPECT_FALSE(p.b.card.GetModemInputs().cts);
    p.a.QueueFrame(0, Pattern(100));
    p.a.StartTransmit(0);
    EXPECT_TRUE(p.b.card.GetModemInputs().cts);
    EXPECT_NE(p.a.Read(reg::PSR) & reg::kPsrRts, 0);
    p.line->RunUntilIdle(1'000'000'000);
    EXPECT_FALSE(p.b.card.GetModemInputs().cts);
}

TEST(LineWiring, PairOfACardWithItselfIsRefused) {
    SimCard card;
    EXPECT_EQ(Line::Pair(card, card), nullptr);
}

TEST(LineTime, FrameTakesItsBitsAtTheProgrammedRate) {
    // No frame check, 100 zero bytes: 8 flag bits + 800 + 8 = 816 bits at 20 MHz / 127.
    PortSetup setup{.mode = 0x0002};
    PairOfPorts p(setup, setup);
    p.line->SetRate(Line::Rate::FromClock);
    EXPECT_DOUBLE_EQ(p.a.card.TransmitBitRate(), 20e6 / 127);
    p.a.QueueFrame(0, std::vector<uint8_t>(100, 0));
    p.a.StartTransmit(0);
    const uint64_t frame_ns = 816ull * 127 * 1000 / 20;  // 5 181 600 ns
    p.line->Advance(frame_ns - 1);
    EXPECT_EQ(p.b.card.Statistics().frames_received, 0u);
    p.line->Advance(1);
    EXPECT_EQ(p.b.card.Statistics().frames_received, 1u);
}

TEST(LineTime, UnlimitedRateDeliversAtOnce) {
    PairOfPorts p;
    p.a.QueueFrame(0, Pattern(1000));
    p.a.StartTransmit(0);
    p.line->Advance(0);
    EXPECT_EQ(p.b.card.Statistics().frames_received, 1u);
}

// Sends `frames` frames from a to b over a line with the given impairments; returns what b got.
std::vector<std::vector<uint8_t>> SendImpaired(const Line::Impairments& impairments,
                                               Line::Statistics* stats) {
    PortSetup setup{.tx_buffers = 8, .rx_buffers = 8};
    PairOfPorts p(setup, setup);
    p.line->SetImpairments(impairments);
    for (uint32_t i = 0; i < 8; ++i) {
        p.a.QueueFrame(i, Pattern(200, static_cast<uint8_t>(i)));
    }
    p.a.StartTransmit(0);
    p.line->RunUntilIdle(1'000'000);
    std::vector<std::vector<uint8_t>> got;
    for (uint32_t i = 0; i < 8; ++i) {
        got.push_back(p.b.RxBytes(i, 204));
        got.back().push_back(static_cast<uint8_t>(p.b.ReadRxEntry(i).status));
    }
    *stats = p.line->Stats();
    return got;
}

TEST(LineImpairments, BitErrorsAreReproducibleFromTheSeedAndShowAsCrcErrors) {
    Line::Statistics first{}, again{}, other{};
    const auto run1 = SendImpaired({.bit_error_rate = 1e-3, .seed = 7}, &first);
    const auto run2 = SendImpaired({.bit_error_rate = 1e-3, .seed = 7}, &again);
    const auto run3 = SendImpaired({.bit_error_rate = 1e-3, .seed = 8}, &other);
    EXPECT_EQ(run1, run2);
    EXPECT_EQ(first.bits_flipped, again.bits_flipped);
    EXPECT_GT(first.bits_flipped, 0u);
    EXPECT_NE(run1, run3);
    int crc_errors = 0;
    for (const auto& frame : run1) {
        crc_errors += frame.back() == reg::kRcsrCrcError;
    }
    EXPECT_GT(crc_errors, 0);
}

TEST(LineImpairments, DroppedFramesNeverArrive) {
    PairOfPorts p;
    p.line->DropNextFrames(1);
    p.a.QueueFrame(0, Pattern(10, 1));
    p.a.QueueFrame(1, Pattern(10, 2));
    p.a.StartTransmit(0);
    p.line->RunUntilIdle(1'000'000);
    EXPECT_EQ(p.line->Stats().frames_dropped, 1u);
    EXPECT_EQ(p.b.card.Statistics().frames_received, 1u);
    EXPECT_EQ(p.b.RxBytes(0, 10), Pattern(10, 2));

    p.line->SetImpairments({.drop_rate = 1.0});
    p.a.QueueFrame(2, Pattern(10));
    p.a.StartTransmit(2);
    p.line->RunUntilIdle(1'000'000);
    EXPECT_EQ(p.b.card.Statistics().frames_received, 1u);
}

TEST(ChannelOnTheLine, InternalLoopbackKeepsFramesOffTheLine) {
    PairOfPorts p({.loopback = true}, {});
    int tapped = 0;
    p.line->SetTap([&](int, const LineFrame&) { ++tapped; });
    p.a.QueueFrame(0, Pattern(12));
    p.a.StartTransmit(0);
    p.line->RunUntilIdle(1'000'000);
    EXPECT_EQ(tapped, 0);
    EXPECT_EQ(p.b.card.Statistics().frames_received, 0u);
    EXPECT_EQ(p.a.RxBytes(0, 12), Pattern(12));
    EXPECT_EQ(p.a.card.LineIdle(), IdleLine::HeldMark);
}

TEST(ChannelOnTheLine, AddressSearchTakesOwnAndBroadcastAddressesOnly) {
    const struct {
        uint8_t address;
        bool received;
    } cases[] = {{0x42, true}, {0xFF, true}, {0x43, false}, {0x00, false}};
    for (const auto& c : cases) {
        PairOfPorts p({}, {.cmr = 0x0616, .rsr = 0x42});
        auto frame = Pattern(10);
        frame[0] = c.address;
        p.a.QueueFrame(0, frame);
        p.a.StartTransmit(0);
        p.line->RunUntilIdle(1'000'000);
        EXPECT_EQ(p.b.card.Statistics().frames_received, c.received ? 1u : 0u) << int(c.address);
        EXPECT_EQ(p.b.card.Statistics().frames_filtered, c.received ? 0u : 1u) << int(c.address);
    }
}

TEST(ChannelOnTheLine, BitOrderMismatchReversesEveryByteButKeepsTheCheckValid) {
    PortUnderTest a({.msb_first = true}), b, c({.msb_first = true});
    a.Open();
    b.Open();
    c.Open();
    const std::vector<uint8_t> data = {0x01, 0x80, 0x0F, 0xA5};
    {
        auto line = Line::Pair(a.card, b.card);
        a.QueueFrame(0, data);
        a.StartTransmit(0);
        line->RunUntilIdle(1'000'000);
    }
    EXPECT_EQ(b.RxBytes(0, 4), (std::vector<uint8_t>{0x80, 0x01, 0xF0, 0xA5}));
    EXPECT_EQ(b.ReadRxEntry(0).status, 0);
    {
        auto line = Line::Pair(a.card, c.card);
        a.QueueFrame(1, data);
        a.StartTransmit(1);
        line->RunUntilIdle(1'000'000);
    }
    EXPECT_EQ(c.RxBytes(0, 4), data);
}

TEST(ChannelOnTheLine, DifferentLineCodingsNeverMakeAFrame) {
    const struct {
        uint16_t sender, receiver;
        bool received;
    } cases[] = {{0x1702, 0x1702, true},    // NRZ both
                 {0x7702, 0x7702, true},    // NRZI-space both
                 {0x1702, 0x7702, false},   // NRZ into NRZI-space
                 {0xC702, 0xE702, false}};  // Manchester into differential Manchester
    for (const auto& c : cases) {
        PairOfPorts p({.mode = c.sender}, {.mode = c.receiver});
        p.a.QueueFrame(0, Pattern(10));
        p.a.StartTransmit(0);
        p.line->RunUntilIdle(1'000'000);
        EXPECT_EQ(p.b.card.Statistics().frames_received, c.received ? 1u : 0u) << c.receiver;
        EXPECT_EQ(p.b.card.Statistics().frames_lost_coding, c.received ? 0u : 1u) << c.receiver;
    }
}

TEST(ChannelOnTheLine, DisabledReceiverHearsNothingAndIdleStateFollowsTcsr) {
    PairOfPorts p;
    p.b.Reg(reg::RMR, 0x1700);  // receiver not enabled
    p.a.QueueFrame(0, Pattern(5));
    p.a.StartTransmit(0);
    p.line->RunUntilIdle(1'000'000);
    EXPECT_EQ(p.b.card.Statistics().frames_lost_receiver_off, 1u);

    EXPECT_EQ(p.a.card.LineIdle(), IdleLine::Flags);
    p.a.Reg(reg::TCSR, 0x0700);
    EXPECT_EQ(p.a.card.LineIdle(), IdleLine::Mark);
    p.a.Reg(reg::TCSR, 0x0100);
    EXPECT_EQ(p.a.card.LineIdle(), IdleLine::AlternatingOneZero);
}

TEST(LineWiring, BridgeExchangesFrameDataWithAFarEndOutsideTheSimulation) {
    PortUnderTest port({.mode = 0x0702});  // CRC-16
    port.Open();
    std::vector<std::vector<uint8_t>> sent;
    auto line = Line::Bridge(port.card,
                             [&](std::vector<uint8_t> frame) { sent.push_back(std::move(frame)); });
    port.QueueFrame(0, Pattern(30));
    port.StartTransmit(0);
    line->RunUntilIdle(1'000'000);
    ASSERT_EQ(sent.size(), 1u);
    EXPECT_EQ(sent[0], Pattern(30));  // without the frame check

    line->SendFromFarEnd(Pattern(12, 3));
    line->RunUntilIdle(1'000'000);
    EXPECT_EQ(port.ReadRxEntry(0).status, 0);  // the check fits the port's settings
    EXPECT_EQ(port.ReadRxEntry(0).receive_count, 0xFFFF - 14);
    EXPECT_EQ(port.RxBytes(0, 12), Pattern(12, 3));
}

}  // namespace
}  // namespace qorval::sim
