// The frame engine against the simulated card's DMA: list layout, page-split copies, frames
// through internal loopback with their error flags and counters, full rings, the transmit
// start, spill-over bookkeeping and the ring resets.

#include "driver/frame_engine.h"

#include <gtest/gtest.h>

#include <cstring>
#include <numeric>

#include "driver/card_memory.h"
#include "driver/dma_lists.h"
#include "driver/port_init.h"
#include "driver/register_map.h"
#include "driver/tests/driver_test_support.h"

namespace wyvel32::testing {
namespace {

using Kind = qorval::sim::Access::Kind;

std::vector<uint8_t> Pattern(size_t length, uint8_t seed) {
    std::vector<uint8_t> bytes(length);
    for (size_t i = 0; i < length; ++i) {
        bytes[i] = static_cast<uint8_t>(seed + i * 7);
    }
    return bytes;
}

class FrameEngineTest : public SimPortFixture, public ::testing::Test {
  protected:
    void SetUp() override {
        port.config.LoopBack = 1;
        card.SetInterruptHandler([this] { ServiceInterrupt(port); });
    }

    void Open() {
        ASSERT_EQ(OpenTimeInitialisation(port), STATUS_SUCCESS);
        card.ClearTrace();
    }

    // Lets the card run until nothing is left to do, servicing its interrupts. An interrupt
    // raised while the driver stalled (copying a frame) is pending when the lock is released,
    // as a level-triggered line would be.
    void Run() {
        SynchronizeExecution(sync, [this] {
            for (int step = 0; step < 10000; ++step) {
                if (card.InterruptAsserted()) {
                    ServiceInterrupt(port);
                } else if (card.NextEventTime() == qorval::sim::SimCard::kNever) {
                    return;
                } else {
                    card.RunUntilIdle(1'000'000'000'000ull);
                }
            }
            ADD_FAILURE() << "the card never went idle";
        });
    }

    bool Write(const std::vector<uint8_t>& frame) {
        return SynchronizeExecution(sync, [&] {
            port.TransferBuffer = frame.data();
            port.TransferLength = static_cast<uint32_t>(frame.size());
            return WriteFrame(port);
        });
    }

    // Reads into a buffer of `room` bytes; the delivered bytes, or nullopt when nothing was taken.
    std::optional<std::vector<uint8_t>> Read(uint32_t room = 4096) {
        std::vector<uint8_t> buffer(room);
        const bool taken = SynchronizeExecution(sync, [&] {
            port.ReadBuffer = buffer.data();
            port.ReadLength = room;
            return ReadFrame(port);
        });
        if (!taken) {
            return std::nullopt;
        }
        buffer.resize(port.ReadLength);
        return buffer;
    }

    uint32_t CardWord32(uint32_t address) {
        uint32_t value = 0;
        std::memcpy(&value, card.CardMemory().data() + address, 4);
        return value;
    }
    uint16_t CardWord16(uint32_t address) {
        uint16_t value = 0;
        std::memcpy(&value, card.CardMemory().data() + address, 2);
        return value;
    }
    void SetCardWord16(uint32_t address, uint16_t value) {
        std::memcpy(card.CardMemory().data() + address, &value, 2);
    }
};

TEST_F(FrameEngineTest, ListsLinkEveryBufferOfTheLayout) {
    Open();
    // 100 + 100 entries of 1024 bytes: transmit buffers from 3200, receive buffers from 105600.
    EXPECT_EQ(CardWord32(0), 3200u);
    EXPECT_EQ(CardWord32(12), 16u);
    EXPECT_EQ(CardWord16(10), 0xFFFF);
    EXPECT_EQ(CardWord32(16 * 99 + 0), 3200u + 99 * 1024);
    EXPECT_EQ(CardWord32(16 * 99 + 12), 0u);  // last transmit entry links to the first
    const uint32_t rx = 1600;
    EXPECT_EQ(CardWord32(rx), 105600u);
    EXPECT_EQ(CardWord16(rx + 4), 1024);
    EXPECT_EQ(CardWord16(rx + 8), 1024);
    EXPECT_EQ(CardWord32(rx + 12), rx + 16);
    EXPECT_EQ(CardWord32(rx + 16 * 8), 113792u);  // receive buffer 8 spans pages 6 and 7
    EXPECT_EQ(CardWord32(rx + 16 * 99 + 12), rx);
    EXPECT_EQ(port.RxListBase, rx);
}

// Copies split at page boundaries and move exactly the bytes asked for, whatever the tail.
TEST_F(FrameEngineTest, CopiesCrossPagesAndMoveExactlyTheirLength) {
    struct Case {
        uint32_t address;
        size_t length;
    };
    const Case cases[] = {{113792, 1024}, {0x3FFF, 2},          {0x4000 - 130, 259}, {0x8000, 1},
                          {0x8001, 3},    {0x7FFC, 0x4000 + 9}, {0x3FFC0, 64}};
    for (const Case& c : cases) {
        SCOPED_TRACE(::testing::Message() << c.address << "+" << c.length);
        auto memory = card.CardMemory();
        std::fill(memory.begin(), memory.end(), 0xEE);
        const auto data = Pattern(c.length, static_cast<uint8_t>(c.length));
        SynchronizeExecution(sync, [&] {
            EntryAddress(port, 0, DmaList::Transmit);  // host access on
            CopyToCard(port, c.address, data.data(), data.size());
        });
        EXPECT_TRUE(std::equal(data.begin(), data.end(), memory.begin() + c.address));
        EXPECT_EQ(memory[c.address - 1], 0xEE);
        if (c.address + c.length < memory.size()) {
            EXPECT_EQ(memory[c.address + c.length], 0xEE);
        }
        std::vector<uint8_t> back(c.length + 1, 0x55);
        SynchronizeExecution(sync, [&] { CopyFromCard(port, c.address, back.data(), c.length); });
        EXPECT_TRUE(std::equal(data.begin(), data.end(), back.begin()));
        EXPECT_EQ(back[c.length], 0x55);
    }
}

TEST_F(FrameEngineTest, CopyPausesAfterEach128ByteBlock) {
    const auto data = Pattern(300, 1);
    card.ClearTrace();
    const uint64_t before = card.NowNanoseconds();
    SynchronizeExecution(sync, [&] {
        EntryAddress(port, 0, DmaList::Transmit);
        card.ClearTrace();
        CopyToCard(port, 0x100, data.data(), data.size());
    });
    size_t board_reads = 0;
    for (const auto& access : card.Trace()) {
        board_reads += access.kind == Kind::BoardRead && access.offset == board::kControl;
    }
    EXPECT_EQ(board_reads, 1u + 2u);  // the page selection, then one per full block
    EXPECT_GE(card.NowNanoseconds() - before, 4000u);
}

TEST_F(FrameEngineTest, FramesLoopBackWithTheirCrc) {
    for (uint32_t crc_used : {1u, 2u, 0u}) {
        SCOPED_TRACE(crc_used);
        port.config.CrcUsed = crc_used;
        Open();
        const auto small = Pattern(1, 3), mid = Pattern(200, 9), full = Pattern(1024 - 4, 5);
        for (const auto* frame : {&small, &mid, &full}) {
            ASSERT_TRUE(Write(*frame));
        }
        Run();
        EXPECT_EQ(port.RxFramesWaiting.load(), 3u);
        for (const auto* frame : {&small, &mid, &full}) {
            const auto got = Read();
            ASSERT_TRUE(got.has_value());
            EXPECT_EQ(*got, *frame);
            EXPECT_EQ(port.PortFlags & (RX_OVERRUN | RX_CRC_ERROR), 0u);
        }
        EXPECT_FALSE(Read().has_value());
        EXPECT_EQ(port.ReadLength, 0u);
        EXPECT_EQ(port.TxFramesQueued.load(), 0u);
        EXPECT_NE(port.PortFlags & TX_IDLE, 0u);
    }
    EXPECT_EQ(port.TxFramesSent.load(), 9u);
    EXPECT_EQ(port.RxFramesReceived.load(), 9u);
}

TEST_F(FrameEngineTest, ShortReadBufferReportsTheNeededLengthAndKeepsTheFrame) {
    port.config.CrcUsed = 2;
    Open();
    const auto frame = Pattern(200, 1);
    ASSERT_TRUE(Write(frame));
    Run();
    EXPECT_FALSE(Read(100).has_value());
    EXPECT_EQ(port.ReadLength, 202u);  // the length counts the CRC bytes
    EXPECT_FALSE(Read(201).has_value());
    const auto got = Read(202);
    ASSERT_TRUE(got.has_value());
    EXPECT_EQ(*got, frame);
}

TEST_F(FrameEngineTest, CrcErrorAndOverrunAreFlaggedAndCounted) {
    Open();
    card.InjectReceiveCrcError(1);
    ASSERT_TRUE(Write(Pattern(64, 2)));
    Run();
    ASSERT_TRUE(Read().has_value());
    EXPECT_NE(port.PortFlags & RX_CRC_ERROR, 0u);
    EXPECT_EQ(port.CrcErrors.load(), 1u);

    port.PortFlags &= ~(RX_CRC_ERROR | RX_OVERRUN);
    card.InjectReceiveOverrun(1);
    ASSERT_TRUE(Write(Pattern(300, 2)));
    ASSERT_TRUE(Write(Pattern(20, 4)));
    Run();
    EXPECT_EQ(port.RxFramesWaiting.load(), 2u);
    const auto overrun = Read();
    ASSERT_TRUE(overrun.has_value());
    EXPECT_NE(port.PortFlags & RX_OVERRUN, 0u);
    EXPECT_EQ(port.Overruns.load(), 1u);
    // The receiver resumed after the overrun frame: the next frame arrives intact, in its own
    // entry, and nothing else is left counted.
    port.PortFlags &= ~(RX_CRC_ERROR | RX_OVERRUN);
    const auto next = Read();
    ASSERT_TRUE(next.has_value());
    EXPECT_EQ(*next, Pattern(20, 4));
    EXPECT_EQ(port.PortFlags & RX_OVERRUN, 0u);
    EXPECT_FALSE(Read().has_value());
}

// Several buffers ending before the interrupt is serviced leave one end-of-buffer status: every
// frame is still counted once, none is sent twice.
TEST_F(FrameEngineTest, BuffersEndingBetweenTwoServicesAreAllCounted) {
    Open();
    card.SetInterruptHandler(nullptr);
    for (int i = 0; i < 3; ++i) {
        ASSERT_TRUE(Write(Pattern(50, i)));
    }
    SynchronizeExecution(sync, [&] { return card.RunUntilIdle(1'000'000'000ull); });
    card.SetInterruptHandler([this] { ServiceInterrupt(port); });
    Run();
    EXPECT_EQ(port.RxFramesWaiting.load(), 3u);
    EXPECT_EQ(port.TxFramesQueued.load(), 0u);
    EXPECT_EQ(port.TxFramesSent.load(), 3u);
    EXPECT_NE(port.PortFlags & TX_IDLE, 0u);
    EXPECT_EQ(card.Statistics().frames_sent, 3u);
    for (int i = 0; i < 3; ++i) {
        const auto got = Read();
        ASSERT_TRUE(got.has_value());
        EXPECT_EQ(*got, Pattern(50, i));
    }
    EXPECT_FALSE(Read().has_value());
}

TEST_F(FrameEngineTest, FullTransmitRingRefusesTheNextFrame) {
    port.config.TxBuffers = 4;
    port.config.RxBuffers = 4;
    Open();
    for (int i = 0; i < 4; ++i) {
        ASSERT_TRUE(Write(Pattern(10, i)));
    }
    EXPECT_FALSE(Write(Pattern(10, 9)));
    EXPECT_EQ(port.TxFramesQueued.load(), 4u);
    Run();
    EXPECT_TRUE(Write(Pattern(10, 9)));
}

TEST_F(FrameEngineTest, OversizedOrEmptyWriteQueuesNothing) {
    Open();
    EXPECT_FALSE(Write(Pattern(1025, 1)));
    EXPECT_FALSE(Write({}));
    EXPECT_EQ(port.TxFramesQueued.load(), 0u);
    EXPECT_TRUE(Write(Pattern(1024, 1)));
}

// The first frame written to an idle transmitter starts the DMA; a second one written before
// the first has gone does not, and the end-of-list handler sends it.
TEST_F(FrameEngineTest, OnlyTheFirstFrameStartsTheTransmitter) {
    Open();
    auto starts = [this] {
        size_t count = 0;
        for (const auto& access : card.Trace()) {
            count += access.kind == Kind::RegWrite16 && access.offset == iusc::DCAR &&
                     access.value == dcar::kStartTx;
        }
        return count;
    };
    ASSERT_TRUE(Write(Pattern(100, 1)));
    EXPECT_EQ(starts(), 1u);
    EXPECT_EQ(port.PortFlags & TX_IDLE, 0u);
    ASSERT_TRUE(Write(Pattern(100, 2)));
    EXPECT_EQ(starts(), 1u);
    Run();
    EXPECT_EQ(port.TxFramesSent.load(), 2u);
    EXPECT_EQ(port.RxFramesWaiting.load(), 2u);
    EXPECT_NE(port.PortFlags & TX_IDLE, 0u);
}

TEST_F(FrameEngineTest, FullReceiveRingStopsAndAReadRestartsIt) {
    port.config.TxBuffers = 8;
    port.config.RxBuffers = 3;
    Open();
    for (int i = 0; i < 5; ++i) {
        ASSERT_TRUE(Write(Pattern(40, i)));
    }
    Run();
    EXPECT_EQ(port.RxFramesWaiting.load(), 3u);
    EXPECT_NE(port.PortFlags & RX_STOPPED, 0u);
    ASSERT_TRUE(Read().has_value());
    EXPECT_EQ(port.PortFlags & RX_STOPPED, 0u);
    ASSERT_TRUE(Write(Pattern(40, 7)));
    Run();
    EXPECT_EQ(port.RxFramesWaiting.load(), 3u);
    for (int expected : {1, 2}) {
        const auto got = Read();
        ASSERT_TRUE(got.has_value());
        EXPECT_EQ(*got, Pattern(40, expected));
    }
}

// Spill-over: both entries of a frame one or two bytes over its buffer are given back, and no
// phantom frame is left counted.
TEST_F(FrameEngineTest, SpillOverFrameTakesBothEntries) {
    Open();
    const uint32_t entry0 = port.RxListBase, entry1 = port.RxListBase + 16;
    for (uint32_t over : {1u, 2u}) {
        SCOPED_TRACE(over);
        SynchronizeExecution(sync, [&] { ResetReceive(port); });
        SetCardWord16(entry0 + 8, static_cast<uint16_t>(0xFFFF - (1024 + over)));
        SetCardWord16(entry1 + 8, static_cast<uint16_t>(0xFFFF - (1024 + over)));
        SetCardWord16(entry0 + 4, 0);
        SetCardWord16(entry1 + 4, 0);
        port.RxFramesWaiting = 2;
        port.RxDmaIndex = 2;
        port.PortFlags &= ~RX_OVERRUN;
        const auto got = Read();
        ASSERT_TRUE(got.has_value());
        EXPECT_TRUE(got->empty());  // longer than its buffer: delivered empty
        EXPECT_NE(port.PortFlags & RX_OVERRUN, 0u);
        EXPECT_EQ(port.RxFramesWaiting.load(), 0u);
        EXPECT_EQ(port.RxReadIndex, 2u);
        EXPECT_FALSE(Read().has_value());
        EXPECT_EQ(CardWord16(entry0 + 4), 1024);  // both entries offered to the DMA again
        EXPECT_EQ(CardWord16(entry1 + 4), 1024);
    }
}

// The same through the card: 1024 data bytes and a 16-bit CRC into 1024-byte buffers.
TEST_F(FrameEngineTest, FrameTwoBytesOverItsBufferLeavesNoPhantom) {
    port.config.CrcUsed = 2;
    Open();
    ASSERT_TRUE(Write(Pattern(1024, 1)));
    ASSERT_TRUE(Write(Pattern(30, 2)));
    Run();
    EXPECT_EQ(port.RxFramesWaiting.load(), 3u);
    const auto spilled = Read();
    ASSERT_TRUE(spilled.has_value());
    EXPECT_TRUE(spilled->empty());
    EXPECT_NE(port.PortFlags & RX_OVERRUN, 0u);
    port.PortFlags &= ~RX_OVERRUN;
    const auto next = Read();
    ASSERT_TRUE(next.has_value());
    EXPECT_EQ(*next, Pattern(30, 2));
    EXPECT_FALSE(Read().has_value());
    EXPECT_EQ(port.RxFramesWaiting.load(), 0u);
}

TEST_F(FrameEngineTest, SpillOverBeforeTheSecondEntryIsCountedTakesTheFirstAlone) {
    Open();
    SetCardWord16(port.RxListBase + 8, static_cast<uint16_t>(0xFFFF - 1026));
    port.RxFramesWaiting = 1;
    port.RxDmaIndex = 1;
    const auto got = Read();
    ASSERT_TRUE(got.has_value());
    EXPECT_TRUE(got->empty());
    EXPECT_EQ(port.RxFramesWaiting.load(), 0u);
    EXPECT_EQ(port.RxReadIndex, 1u);
}

TEST_F(FrameEngineTest, FrameNoLongerThanItsCrcIsAnOverrun) {
    struct Case {
        uint32_t crc_used;
        uint16_t count;
        uint32_t needed;
    };
    // CRC-32 and a 3-byte frame; CRC-16 and 2 bytes; a count of 0.
    for (const Case& c : {Case{1, 0xFFFF - 3, 4}, Case{2, 0xFFFF - 2, 2}, Case{1, 0, 4}}) {
        SCOPED_TRACE(c.count);
        port.config.CrcUsed = c.crc_used;
        Open();
        SetCardWord16(port.RxListBase + 8, c.count);
        port.RxFramesWaiting = 1;
        port.RxDmaIndex = 1;
        const uint32_t overruns = port.Overruns.load();
        port.PortFlags &= ~RX_OVERRUN;
        EXPECT_FALSE(Read(c.needed - 1).has_value());
        EXPECT_EQ(port.ReadLength, c.needed);
        EXPECT_EQ(port.PortFlags & RX_OVERRUN, 0u);  // nothing taken, nothing counted yet
        const auto got = Read(c.needed);
        ASSERT_TRUE(got.has_value());
        EXPECT_TRUE(got->empty());
        EXPECT_NE(port.PortFlags & RX_OVERRUN, 0u);
        EXPECT_EQ(port.Overruns.load(), overruns + 1);
    }
}

TEST_F(FrameEngineTest, ResetsDropEveryFrameAndRebuildTheirList) {
    Open();
    for (int i = 0; i < 3; ++i) {
        ASSERT_TRUE(Write(Pattern(30, i)));
    }
    Run();
    ASSERT_TRUE(Write(Pattern(30, 5)));  // queued, not yet sent
    SynchronizeExecution(sync, [&] {
        ResetReceive(port);
        ResetTransmit(port);
    });
    EXPECT_EQ(port.RxFramesWaiting.load(), 0u);
    EXPECT_EQ(port.TxFramesQueued.load(), 0u);
    EXPECT_EQ(port.TxWriteIndex, 0u);
    EXPECT_NE(port.PortFlags & TX_IDLE, 0u);
    EXPECT_EQ(port.PortFlags & RX_STOPPED, 0u);
    EXPECT_EQ(CardWord16(4), 0);  // the queued frame's entry is empty again
    EXPECT_FALSE(Read().has_value());
    ASSERT_TRUE(Write(Pattern(30, 8)));
    Run();
    const auto got = Read();
    ASSERT_TRUE(got.has_value());
    EXPECT_EQ(*got, Pattern(30, 8));
}

// The card reports each frame's arrival when the driver gives its entry back: frame by frame
// in the order they are read, nothing for a read too small to take the frame, and the frames a
// rebuilt list throws away all at once (the driver host forgets those, frame_arrival.h).
TEST_F(FrameEngineTest, EachFrameTakenReportsTheTimeItArrived) {
    std::vector<uint64_t> taken;
    card.SetFrameTakenHandler([&](uint64_t arrival) { taken.push_back(arrival); });
    Open();
    const uint64_t first = card.NowNanoseconds();
    ASSERT_TRUE(Write(Pattern(40, 1)));
    Run();
    card.Advance(1'000'000);
    ASSERT_TRUE(Write(Pattern(40, 2)));
    Run();
    EXPECT_FALSE(Read(10).has_value());
    EXPECT_TRUE(taken.empty());
    ASSERT_EQ(Read(), Pattern(40, 1));
    EXPECT_EQ(taken, std::vector<uint64_t>{first});
    ASSERT_EQ(Read(), Pattern(40, 2));
    EXPECT_EQ(taken, (std::vector<uint64_t>{first, first + 1'000'000}));

    card.Advance(1'000'000);
    ASSERT_TRUE(Write(Pattern(40, 3)));
    Run();
    taken.clear();
    SynchronizeExecution(sync, [&] { ResetReceive(port); });
    EXPECT_EQ(taken, std::vector<uint64_t>{first + 2'000'000});
    ASSERT_TRUE(Write(Pattern(40, 4)));
    Run();
    ASSERT_EQ(Read(), Pattern(40, 4));
    EXPECT_EQ(taken, (std::vector<uint64_t>{first + 2'000'000, first + 2'000'000}));
}

TEST_F(FrameEngineTest, InterruptOfAnotherBoardIsNotClaimed) {
    Open();
    EXPECT_FALSE(card.InterruptAsserted());
    EXPECT_FALSE(SynchronizeExecution(sync, [&] { return ServiceInterrupt(port); }));
}

// More than 4095 transmit buffers put the receive list above 64 KB: the list address needs its
// upper word.
TEST_F(FrameEngineTest, ReceiveListAbove64KiloBytesGetsItsUpperAddressWord) {
    port.config.TxBuffers = 4096;
    port.config.RxBuffers = 4;
    port.config.TxBuffSize = 16;
    port.config.RxBuffSize = 64;
    Open();
    EXPECT_EQ(port.RxListBase, 65536u);
    EXPECT_EQ(card.PeekReg16(iusc::NRARU), 1u);
    EXPECT_EQ(card.PeekReg16(iusc::NRARL), 0u);
    ASSERT_TRUE(Write(Pattern(12, 3)));
    Run();
    const auto got = Read();
    ASSERT_TRUE(got.has_value());
    EXPECT_EQ(*got, Pattern(12, 3));
}

// MIL-188 passes validation but has no code on the board: the open still proceeds and the
// line interface register keeps its value.
TEST_F(FrameEngineTest, OpenProceedsWithAnInterfaceTheBoardLacks) {
    card.WriteBoard(board::kLineInterface, 0x12);
    port.config.Interface = 8;
    Open();
    EXPECT_EQ(card.PeekBoard(board::kLineInterface), 0x12);
    ASSERT_TRUE(Write(Pattern(10, 1)));
    Run();
    EXPECT_TRUE(Read().has_value());
}

TEST_F(FrameEngineTest, OpenFailsOnAMissingBoard) {
    card.InjectBoardAbsent(true);
    EXPECT_EQ(OpenTimeInitialisation(port), STATUS_UNSUCCESSFUL);
}

}  // namespace
}  // namespace wyvel32::testing
