// Frames through the DMA lists, driven as the driver drives the card: build entries, start DMA,
// step virtual time, check status bits, interrupts, entry words and the bytes that arrived.

#include <gtest/gtest.h>

#include "sim/crc.h"
#include "sim/line.h"
#include "sim/tests/port_under_test.h"

namespace qorval::sim {
namespace {

using testing::PairOfPorts;
using testing::Pattern;
using testing::PortSetup;
using testing::PortUnderTest;

constexpr uint16_t kEob = reg::kDmrEndOfBuffer;
constexpr uint16_t kEol = reg::kDmrEndOfList;
constexpr uint16_t kCrc16Mode = 0x0702;  // CRC-16, preset ones, enabled

std::vector<uint8_t> WithCheck(std::vector<uint8_t> data, CrcKind kind) {
    const auto check = FrameCheck(kind, true, data);
    data.insert(data.end(), check.begin(), check.end());
    return data;
}

TEST(TransmitDma, FrameReachesTheFarEndWithItsCheckAndBothSidesInterrupt) {
    PairOfPorts p;
    const auto data = Pattern(100);
    p.a.QueueFrame(0, data);
    p.a.StartTransmit(0);
    EXPECT_EQ(p.a.Read16(p.a.TxEntry(0) + 4), 0);  // count cleared as soon as fetched
    p.line->RunUntilIdle(1'000'000);

    // Sender: end of buffer and, the next entry being empty, end of list; both cleared by
    // reading TDMR; the pending bit until CDIR clears it.
    EXPECT_TRUE(p.a.Requesting());
    EXPECT_EQ(p.a.Read(reg::DIPR), reg::kDmaTransmit);
    EXPECT_EQ(p.a.Read(reg::TDMR), 0xF000 | kEob | kEol);
    EXPECT_EQ(p.a.Read(reg::TDMR), 0xF000);
    p.a.Reg(reg::CDIR, 1);
    EXPECT_FALSE(p.a.Requesting());

    // Receiver: status block in entry 0, data and frame check in its buffer.
    EXPECT_TRUE(p.b.Requesting());
    EXPECT_EQ(p.b.Read(reg::RDMR), 0xF200 | kEob);
    const auto entry = p.b.ReadRxEntry(0);
    EXPECT_EQ(entry.count, 0);  // cleared after fetch
    EXPECT_EQ(entry.status, 0);
    EXPECT_EQ(entry.receive_count, 0xFFFF - 104);
    EXPECT_EQ(p.b.RxBytes(0, 104), WithCheck(data, CrcKind::Crc32));
    EXPECT_EQ(p.b.ReadRxEntry(1).count, 256);  // the next entry is untouched until needed
}

TEST(TransmitDma, QueuedEntriesGoOutInOrderAndEmptyEntryEndsTheList) {
    PairOfPorts p;
    for (uint32_t i = 0; i < 3; ++i) {
        p.a.QueueFrame(i, Pattern(20 + i, static_cast<uint8_t>(i)));
    }
    p.a.StartTransmit(0);
    p.line->RunUntilIdle(1'000'000);
    EXPECT_EQ(p.a.card.Statistics().frames_sent, 3u);
    for (uint32_t i = 0; i < 3; ++i) {
        EXPECT_EQ(p.b.ReadRxEntry(i).receive_count, 0xFFFF - (24 + i));
        EXPECT_EQ(p.b.RxBytes(i, 20 + i), Pattern(20 + i, static_cast<uint8_t>(i)));
    }
    EXPECT_EQ(p.a.Read(reg::TDMR) & 0xF, kEob | kEol);
}

TEST(TransmitDma, FrameWrittenWhileAnotherIsOnTheLineContinuesWithoutEndOfList) {
    PairOfPorts p;
    p.line->SetRate(Line::Rate::FromClock);
    p.a.QueueFrame(0, Pattern(200));
    p.a.StartTransmit(0);
    p.line->Advance(1'000'000);  // 1 ms: well inside a 200-byte frame at 157 kbit/s
    EXPECT_FALSE(p.a.Requesting());
    p.a.QueueFrame(1, Pattern(10));
    p.line->Advance(20'000'000);
    EXPECT_EQ(p.a.card.Statistics().frames_sent, 2u);
    EXPECT_EQ(p.b.card.Statistics().frames_received, 2u);
    // Both ends of buffer were seen; the list ended only after the second frame.
    EXPECT_EQ(p.a.Read(reg::TDMR) & 0xF, kEob | kEol);
}

TEST(TransmitDma, PausingStopsFetchingAndInitialisingStartsAtTheGivenEntry) {
    PairOfPorts p;
    p.line->SetRate(Line::Rate::FromClock);
    p.a.QueueFrame(0, Pattern(50));
    p.a.QueueFrame(1, Pattern(50));
    p.a.StartTransmit(0);
    p.a.Reg(reg::DCAR, 0x4100);  // pause transmit: the frame on the line is cut off
    p.line->RunUntilIdle(100'000'000);
    EXPECT_EQ(p.b.card.Statistics().frames_received, 0u);
    EXPECT_EQ(p.b.card.Statistics().frames_aborted, 1u);
    EXPECT_EQ(p.a.Read(reg::TDMR) & 0xF, 0);
    p.a.StartTransmit(1);
    p.line->RunUntilIdle(100'000'000);
    EXPECT_EQ(p.b.card.Statistics().frames_received, 1u);
}

struct SpanCase {
    size_t data;          // data bytes sent with CRC-16
    uint16_t first_over;  // how far the full buffer's count says the frame went past it
    size_t tail;          // bytes in the second buffer
};

TEST(ReceiveDma, FrameLongerThanItsBufferContinuesInTheNextOne) {
    const SpanCase cases[] = {
        {63, 1, 1},    // 65 bytes with its check into 64-byte buffers
        {64, 2, 2},    // 66 bytes
        {100, 2, 38},  // the receiver is never more than two bytes ahead of the DMA
    };
    for (const auto& c : cases) {
        PortSetup setup{.rx_size = 64, .mode = kCrc16Mode};
        PairOfPorts p(setup, setup);
        p.a.QueueFrame(0, Pattern(c.data));
        p.a.StartTransmit(0);
        p.line->RunUntilIdle(1'000'000);
        const uint16_t total = static_cast<uint16_t>(c.data + 2);
        const auto first = p.b.ReadRxEntry(0);
        EXPECT_EQ((0xFFFF - first.receive_count - 64) & 0xFFFF, c.first_over) << c.data;
        const auto second = p.b.ReadRxEntry(1);
        EXPECT_EQ(second.receive_count, 0xFFFF - total) << c.data;
        const auto whole = WithCheck(Pattern(c.data), CrcKind::Ccitt16);
        auto got = p.b.RxBytes(0, 64);
        const auto rest = p.b.RxBytes(1, c.tail);
        got.insert(got.end(), rest.begin(), rest.end());
        EXPECT_EQ(got, whole) << c.data;
        EXPECT_EQ(p.b.card.Statistics().frames_received, 1u);
    }
}

TEST(ReceiveDma, FrameThatFitsExactlyUsesOneBuffer) {
    PortSetup setup{.rx_size = 64, .mode = kCrc16Mode};
    PairOfPorts p(setup, setup);
    p.a.QueueFrame(0, Pattern(62));
    p.a.StartTransmit(0);
    p.line->RunUntilIdle(1'000'000);
    EXPECT_EQ(p.b.ReadRxEntry(0).receive_count, 0xFFFF - 64);
    EXPECT_EQ(p.b.ReadRxEntry(1).count, 64);
}

TEST(ReceiveDma, ListRunningDryStopsWithEndOfListAndLosesFramesUntilRestarted) {
    PortSetup receiver{.rx_buffers = 2};
    PairOfPorts p({}, receiver);
    for (uint32_t i = 0; i < 4; ++i) {
        p.a.QueueFrame(i, Pattern(30, static_cast<uint8_t>(i)));
    }
    p.a.StartTransmit(0);
    p.line->RunUntilIdle(1'000'000);
    // Two frames stored; the third met entry 0 with its count still cleared: end of list.
    EXPECT_EQ(p.b.card.Statistics().frames_received, 2u);
    EXPECT_EQ(p.b.card.Statistics().frames_lost_no_dma, 2u);
    EXPECT_EQ(p.b.Read(reg::RDMR) & 0xF, kEob | kEol);

    p.b.GiveBack(0);
    p.b.StartReceive(0);
    p.a.QueueFrame(0, Pattern(30, 9));
    p.a.StartTransmit(0);
    p.line->RunUntilIdle(1'000'000);
    EXPECT_EQ(p.b.card.Statistics().frames_received, 3u);
    EXPECT_EQ(p.b.RxBytes(0, 30), Pattern(30, 9));
}

TEST(ReceiveStatus, CrcErrorIsInTheStatusWordAndRaisesTheArmedStatusInterrupt) {
    PairOfPorts p;
    p.b.card.InjectReceiveCrcError(1);
    p.a.QueueFrame(0, Pattern(40));
    p.a.QueueFrame(1, Pattern(40));
    p.a.StartTransmit(0);
    p.line->RunUntilIdle(1'000'000);
    EXPECT_EQ(p.b.ReadRxEntry(0).status, reg::kRcsrCrcError);
    EXPECT_EQ(p.b.ReadRxEntry(1).status, 0);
    EXPECT_EQ(p.b.Read(reg::RCSR) & reg::kRcsrCrcError, reg::kRcsrCrcError);
    EXPECT_EQ(p.b.Read(reg::DCCR) & 0x28, reg::kIpReceiveStatus);
    p.b.Reg(reg::DCCR, 0x00A0);
    EXPECT_EQ(p.b.Read(reg::DCCR) & 0x28, 0);
}

TEST(ReceiveStatus, OverrunLosesTheRestOfTheFrameAndIsReported) {
    PairOfPorts p;
    p.b.card.InjectReceiveOverrun(1);
    p.a.QueueFrame(0, Pattern(40));
    p.a.StartTransmit(0);
    p.line->RunUntilIdle(1'000'000);
    const auto entry = p.b.ReadRxEntry(0);
    EXPECT_EQ(entry.status, reg::kRcsrOverrun);
    EXPECT_EQ(entry.receive_count, 0xFFFF - 22);  // half of 44 bytes
    EXPECT_EQ(p.b.Read(reg::RCSR) & reg::kRcsrOverrun, reg::kRcsrOverrun);
    p.b.Reg8(reg::RCSR, reg::kRcsrOverrun);  // the driver clears it by writing 1
    EXPECT_EQ(p.b.Read(reg::RCSR) & reg::kRcsrOverrun, 0);
}

TEST(ReceiveStatus, MismatchedCrcPresetFailsTheCheck) {
    PortSetup ones{.mode = 0x1702};
    PortSetup zeros{.mode = 0x1302};
    PairOfPorts p(ones, zeros);
    p.a.QueueFrame(0, Pattern(16));
    p.a.StartTransmit(0);
    p.line->RunUntilIdle(1'000'000);
    EXPECT_EQ(p.b.ReadRxEntry(0).status, reg::kRcsrCrcError);
}

TEST(TransmitStatus, UnderrunAndAbortEndTheFrameAndRaiseTheArmedInterrupt) {
    const struct {
        void (SimCard::*inject)(unsigned);
        uint16_t bit;
    } cases[] = {{&SimCard::InjectTransmitUnderrun, reg::kTcsrUnderrun},
                 {&SimCard::InjectTransmitAbort, reg::kTcsrAbortSent}};
    for (const auto& c : cases) {
        PairOfPorts p;
        (p.a.card.*c.inject)(1);
        p.a.QueueFrame(0, Pattern(40));
        p.a.StartTransmit(0);
        p.line->RunUntilIdle(1'000'000);
        EXPECT_EQ(p.b.card.Statistics().frames_received, 0u);
        EXPECT_EQ(p.b.card.Statistics().frames_aborted, 1u);
        EXPECT_EQ(p.a.Read(reg::TCSR) & c.bit, c.bit);
        EXPECT_EQ(p.a.Read(reg::DCCR) & 0x28, reg::kIpTransmitStatus);
        EXPECT_EQ(p.a.Read(reg::TDMR) & kEob, kEob);  // the buffer was still used up
    }
}

TEST(UntrustedLists, BuffersAreClampedToCardMemoryAndBadEntriesEndTheList) {
    PortUnderTest port({.loopback = true});
    port.Open();
    // Transmit entry 0 points at the last 8 bytes of card memory but claims 100.
    port.WriteEntry(port.TxEntry(0), kCardMemoryBytes - 8, 100, 0, 100, 100, 16);
    port.StartTransmit(0);
    port.card.RunUntilIdle(1'000'000);
    EXPECT_EQ(port.ReadRxEntry(0).receive_count, 0xFFFF - 12);  // 8 bytes and CRC-32
    EXPECT_GE(port.card.GuestErrorCount(), 1u);

    // A list address beyond card memory stops the channel with end of list.
    const uint64_t errors = port.card.GuestErrorCount();
    port.Reg(reg::NTARU, 0x0004);
    port.Reg(reg::NTARL, 0x0000);
    port.Reg(reg::DCAR, 0x7100);
    EXPECT_EQ(port.Read(reg::TDMR) & kEol, kEol);
    EXPECT_EQ(port.card.GuestErrorCount(), errors + 1);
}

TEST(UntrustedLists, EntryLinkedToItselfIsSentOnceThenEndsTheList) {
    PortUnderTest port({.loopback = true});
    port.Open();
    port.QueueFrame(0, Pattern(10));
    port.Write32(port.TxEntry(0) + 12, port.TxEntry(0));
    port.StartTransmit(0);
    EXPECT_TRUE(port.card.RunUntilIdle(1'000'000));
    EXPECT_EQ(port.card.Statistics().frames_sent, 1u);
}

TEST(ReceiveDma, PausedReceiverLosesFramesAndStartsAgainWhereTold) {
    PairOfPorts p;
    p.b.Reg(reg::DCAR, 0x4300);
    p.a.QueueFrame(0, Pattern(10));
    p.a.StartTransmit(0);
    p.line->RunUntilIdle(1'000'000);
    EXPECT_EQ(p.b.card.Statistics().frames_lost_no_dma, 1u);
    EXPECT_FALSE(p.b.Requesting());
    p.b.StartReceive(2);
    p.a.QueueFrame(1, Pattern(10, 5));
    p.a.StartTransmit(1);
    p.line->RunUntilIdle(1'000'000);
    EXPECT_EQ(p.b.RxBytes(2, 10), Pattern(10, 5));
}

TEST(Interrupts, HandlerRunsWhenTheLineRisesAndDmaArmsGateIt) {
    PairOfPorts p;
    int calls = 0;
    p.b.card.SetInterruptHandler([&] {
        ++calls;
        p.b.Reg(reg::CDIR, 2);  // what the driver's receive DMA handler does first
    });
    p.b.Reg(reg::RDIAR, 0x0008);  // end of list only: a stored frame raises nothing
    p.a.QueueFrame(0, Pattern(10));
    p.a.StartTransmit(0);
    p.line->RunUntilIdle(1'000'000);
    EXPECT_EQ(calls, 0);
    EXPECT_EQ(p.b.Read(reg::RDMR) & kEob, kEob);  // the status is there all the same

    p.b.Reg(reg::RDIAR, 0x000C);
    p.a.QueueFrame(1, Pattern(10));
    p.a.StartTransmit(1);
    p.line->RunUntilIdle(1'000'000);
    EXPECT_EQ(calls, 1);
    EXPECT_FALSE(p.b.card.InterruptAsserted());
}

TEST(Interrupts, StallAdvancesTheClockWithoutCallingTheHandler) {
    PortUnderTest port({.loopback = true});
    port.Open();
    port.card.SetClocked(true);
    int calls = 0;
    port.card.SetInterruptHandler([&] { ++calls; });
    port.QueueFrame(0, Pattern(10));
    port.StartTransmit(0);
    const uint64_t start = port.card.NowNanoseconds();
    port.card.StallMicroseconds(10'000);
    EXPECT_EQ(port.card.NowNanoseconds(), start + 10'000'000);
    EXPECT_TRUE(port.Requesting());  // the frame went round during the stall
    EXPECT_EQ(calls, 0);
    port.card.Advance(0);
    EXPECT_EQ(calls, 1);
}

}  // namespace
}  // namespace qorval::sim
