// The card's registers as the driver's set-up and read-back checks use them.

#include <gtest/gtest.h>

#include <string>

#include "sim/iusc_registers.h"
#include "sim/sim_card.h"

namespace qorval::sim {
namespace {

// Brings the card to where the channel programme starts: reset done, board enabled for IUSC
// access, bus configured by the first write.
void PrepareForProgramme(SimCard& card) {
    card.WriteBoard(board::kReset, 0);
    while ((card.ReadBoard(board::kReset) & board::kResetDone) == 0) {
    }
    card.WriteBoard(board::kControl, board::kEnable);
    card.WriteReg16(reg::CCAR, 0x000F);
}

TEST(BoardReset, CompletesAfterTheConfiguredNumberOfPolls) {
    for (unsigned polls : {0u, 1u, 5u}) {
        SimCard card;
        card.SetResetReadsToComplete(polls);
        card.WriteBoard(board::kReset, 0);
        unsigned clear_reads = 0;
        while ((card.ReadBoard(board::kReset) & board::kResetDone) == 0) {
            ASSERT_LT(++clear_reads, 100u);
        }
        EXPECT_EQ(clear_reads, polls);
    }
}

TEST(BoardReset, ReturnsChipAndBoardLatchesToResetValues) {
    SimCard card;
    PrepareForProgramme(card);
    card.WriteBoard(board::kLineInterface, 0x1D);
    card.WriteBoard(board::kWindowSelect, 0x13);
    card.WriteReg16(reg::TC0R, 126);
    card.WriteReg16(reg::PCR, 0xF8F9);

    card.WriteBoard(board::kReset, 0);
    EXPECT_EQ(card.PeekReg16(reg::TC0R), 0);
    EXPECT_EQ(card.PeekReg16(reg::PCR), 0);
    EXPECT_EQ(card.PeekBoard(board::kControl), 0);
    EXPECT_EQ(card.PeekBoard(board::kWindowSelect), 0);
    EXPECT_EQ(card.PeekBoard(board::kLineInterface), 0x1D);  // the line drivers keep theirs
}

TEST(BoardReset, FirstWriteAfterResetIsTheBusConfigurationNotARegister) {
    SimCard card;
    card.WriteBoard(board::kControl, board::kEnable);
    card.WriteReg16(reg::TC0R, 0x1234);  // taken as the bus configuration
    EXPECT_EQ(card.ReadReg16(reg::TC0R), 0);
    card.WriteReg16(reg::TC0R, 0x1234);
    EXPECT_EQ(card.ReadReg16(reg::TC0R), 0x1234);
}

struct HeldRegister {
    uint8_t offset;
    uint16_t value;
};

TEST(ChannelProgramme, PlainRegistersReadBackWhatWasWritten) {
    const HeldRegister cases[] = {
        {reg::PCR, 0xF8F9},  {reg::PCR, 0x78F9},  {reg::IOCR, 0x00C8}, {reg::CMCR, 0x0021},
        {reg::CMCR, 0x02BB}, {reg::TC0R, 126},    {reg::HCR, 0x0701},  {reg::CCR, 0x9C80},
        {reg::CMR, 0x0616},  {reg::RCLR, 0xFFFF}, {reg::DCR, 0xA000},  {reg::BDCR, 0x1234},
        {reg::TMR, 0x1702},  {reg::RMR, 0xC402},  {reg::RSR, 0x00C3},
    };
    for (const auto& c : cases) {
        SimCard card;
        PrepareForProgramme(card);
        card.WriteReg16(c.offset, c.value);
        EXPECT_EQ(card.ReadReg16(c.offset), c.value) << std::string(RegisterName(c.offset));
    }
}

TEST(ChannelProgramme, DmaModeRegistersHoldModeBits) {
    SimCard card;
    PrepareForProgramme(card);
    card.WriteReg16(reg::RDMR, 0xF200);
    card.WriteReg16(reg::TDMR, 0xF00F);  // status bits are not writable
    EXPECT_EQ(card.ReadReg16(reg::RDMR), 0xF200);
    EXPECT_EQ(card.ReadReg16(reg::TDMR), 0xF000);
}

TEST(ChannelProgramme, CcarHighByteReadsOnlyTheChannelMode) {
    for (uint16_t mode : {0x0000, 0x0300}) {
        SimCard card;
        PrepareForProgramme(card);
        card.WriteReg16(reg::CCAR, 0xB800 | mode);
        EXPECT_EQ(card.ReadReg8(reg::CCAR + 1), mode >> 8);
        card.WriteReg16(reg::CCAR, 0xA800 | mode);
        EXPECT_EQ(card.ReadReg16(reg::CCAR), mode);
    }
}

TEST(ChannelProgramme, CcsrLowByteHeldHighByteClears) {
    SimCard card;
    PrepareForProgramme(card);
    card.WriteReg16(reg::CCSR, 0x2020);
    EXPECT_EQ(card.ReadReg8(reg::CCSR), 0x20);
    EXPECT_EQ(card.ReadReg16(reg::CCSR), 0x0020);
}

// The receive and transmit set-up steps: the high byte of RICR/TICR reads what the last command
// selected, and the command bytes are never stored.
TEST(ChannelProgramme, InterruptControlHighByteFollowsTheLastCommand) {
    SimCard card;
    PrepareForProgramme(card);
    EXPECT_EQ(card.ReadReg8(reg::RICR + 1), 0);  // after reset: receive FIFO empty

    card.WriteReg16(reg::RCSR, 0x61FF);
    card.WriteReg16(reg::RICR, 0x1F08);
    EXPECT_EQ(card.ReadReg16(reg::RICR), 0x1F08);
    EXPECT_EQ(card.ReadReg16(reg::RCSR), 0);
    card.WriteReg8(reg::RCSR + 1, 0x70);
    card.WriteReg8(reg::RICR + 1, 1);
    EXPECT_EQ(card.ReadReg8(reg::RICR + 1), 1);
    card.WriteReg8(reg::RCSR + 1, 0x50);
    EXPECT_EQ(card.ReadReg8(reg::RICR + 1), 0);
    card.WriteReg8(reg::RCSR + 1, 0x60);  // the interrupt level written earlier is still there
    EXPECT_EQ(card.ReadReg8(reg::RICR + 1), 0x1F);

    EXPECT_EQ(card.ReadReg8(reg::TICR + 1), 0x20);  // after reset: 32 bytes free
    card.WriteReg16(reg::TCSR, 0x60FF);
    card.WriteReg16(reg::TICR, 0x1F00);
    EXPECT_EQ(card.ReadReg16(reg::TICR), 0x1F00);
    card.WriteReg8(reg::TCSR + 1, 0x70);
    card.WriteReg8(reg::TICR + 1, 1);
    EXPECT_EQ(card.ReadReg8(reg::TICR + 1), 1);
    card.WriteReg8(reg::TCSR + 1, 0x50);
    EXPECT_EQ(card.ReadReg8(reg::TICR + 1), 0x20);
    card.WriteReg8(reg::TICR + 1, 0x05);  // the FIFO status is not writable
    EXPECT_EQ(card.ReadReg8(reg::TICR + 1), 0x20);

    card.WriteReg16(reg::TCSR, 0x0700);  // idle state bits are held
    EXPECT_EQ(card.ReadReg16(reg::TCSR), 0x0700);
    EXPECT_EQ(card.GuestErrorCount(), 0u);
}

TEST(Interrupts, BoardRegister3Bit5ReadsLowWhilePendingAndEnabled) {
    SimCard card;
    PrepareForProgramme(card);
    auto requesting = [&] { return (card.ReadBoard(board::kReset) & board::kNoInterrupt) == 0; };
    EXPECT_FALSE(requesting());

    card.WriteReg16(reg::DCCR, 0x00E0);  // set receive status pending (test facility)
    EXPECT_FALSE(requesting());          // not enabled yet
    card.WriteReg16(reg::ICR, 0x80E8);
    EXPECT_TRUE(requesting());
    EXPECT_EQ(card.ReadReg16(reg::DCCR) & 0x28, 0x20);
    card.WriteReg16(reg::ICR, 0x00E8);  // master enable off
    EXPECT_FALSE(requesting());
    card.WriteReg16(reg::ICR, 0x80E8);
    card.WriteReg16(reg::DCCR, 0x00A0);  // clear receive status pending
    EXPECT_FALSE(requesting());
    EXPECT_FALSE(card.InterruptAsserted());
}

TEST(ModemLines, PortControlDrivesDtrAndRtsAndPortStatusReadsThem) {
    SimCard card;
    PrepareForProgramme(card);
    int changes = 0;
    card.SetOutputLinesChangedHandler([&] { ++changes; });
    card.WriteReg16(reg::PCR, 0xF8F9);  // both deasserted (11)
    EXPECT_FALSE(card.GetModemOutputs().dtr);
    EXPECT_FALSE(card.GetModemOutputs().rts);
    EXPECT_EQ(changes, 0);

    card.WriteReg16(reg::PCR, 0xA8F9);  // both driven low: asserted
    EXPECT_TRUE(card.GetModemOutputs().dtr);
    EXPECT_TRUE(card.GetModemOutputs().rts);
    EXPECT_EQ(changes, 1);
    card.WriteReg16(reg::PSR, 0xAAAA);  // clear the change latches
    const uint16_t psr = card.ReadReg16(reg::PSR);
    EXPECT_EQ(psr & (reg::kPsrRts | reg::kPsrDtr), reg::kPsrRts | reg::kPsrDtr);
    EXPECT_EQ(psr & reg::kPsrLatchMask, 0);

    card.WriteReg16(reg::PCR, 0x68F9);  // RS-485 style 01 on PORT7: RTS not driven low
    EXPECT_FALSE(card.GetModemOutputs().rts);
    EXPECT_TRUE(card.GetModemOutputs().dtr);
}

TEST(ModemLines, InputsAppearInMiscStatusWithChangeLatches) {
    SimCard card;
    PrepareForProgramme(card);
    card.SetModemInputs({.dsr = true, .dcd = false, .cts = true, .ri = false});
    uint16_t misr = card.ReadReg16(reg::MISR);
    EXPECT_EQ(misr & 0x0550, reg::kMisrDsr | reg::kMisrCts);
    EXPECT_EQ(misr & reg::kMisrLatchMask, 0x0820);  // DSR and CTS changed
    card.WriteReg16(reg::MISR, 0xFFFF);
    card.SetModemInputs({.dsr = true, .dcd = true, .cts = true, .ri = true});
    misr = card.ReadReg16(reg::MISR);
    EXPECT_EQ(misr & 0x0550, 0x0550);
    EXPECT_EQ(misr & reg::kMisrLatchMask, 0x0280);  // RI and DCD changed
}

TEST(CardMemoryWindow, PageBitsChooseWhereTheWindowLooks) {
    SimCard card;
    card.WriteBoard(board::kControl, board::kEnable | board::kHostAccess | 6);
    card.WriteWindow32(0x3FFC, 0x11223344);
    card.WriteBoard(board::kControl, board::kEnable | board::kHostAccess | 7);
    card.WriteWindow16(0x0000, 0xBEEF);
    const auto memory = card.CardMemory();
    EXPECT_EQ(memory[6 * 0x4000 + 0x3FFC], 0x44);
    EXPECT_EQ(memory[6 * 0x4000 + 0x3FFF], 0x11);
    EXPECT_EQ(memory[7 * 0x4000], 0xEF);
    uint8_t bytes[5] = {};
    card.WriteBoard(board::kControl, board::kEnable | board::kHostAccess | 6);
    card.ReadWindowBytes(0x3FFC, bytes, 4);
    EXPECT_EQ(bytes[0], 0x44);
    EXPECT_EQ(card.GuestErrorCount(), 0u);
}

TEST(CardMemoryWindow, AccessWithoutHostAccessOrPastTheWindowIsAGuestError) {
    SimCard card;
    card.WriteBoard(board::kControl, board::kEnable);  // host access off
    card.WriteWindow16(0, 0x1234);
    EXPECT_EQ(card.CardMemory()[0], 0);
    EXPECT_EQ(card.ReadWindow32(0), 0xFFFFFFFFu);
    EXPECT_EQ(card.GuestErrorCount(), 2u);

    card.WriteBoard(board::kControl, board::kEnable | board::kHostAccess);
    const uint8_t data[8] = {1, 2, 3, 4, 5, 6, 7, 8};
    card.WriteWindowWords(0x3FFC, data, 2);  // second word lies past the window
    EXPECT_EQ(card.CardMemory()[0x3FFF], 4);
    EXPECT_EQ(card.CardMemory()[0x4000], 0);
    EXPECT_EQ(card.GuestErrorCount(), 3u);
}

TEST(CardMemoryWindow, EmptyBlockTransfersTouchNothing) {
    // A driver copying a frame of no data bytes hands over no buffer at all.
    SimCard card;
    card.WriteBoard(board::kControl, board::kEnable | board::kHostAccess);
    card.ReadWindowWords(0x100, nullptr, 0);
    card.ReadWindowBytes(0x100, nullptr, 0);
    card.WriteWindowWords(0x100, nullptr, 0);
    card.WriteWindowBytes(0x100, nullptr, 0);
    EXPECT_EQ(card.GuestErrorCount(), 0u);
}

TEST(GuestErrors, OddAccessesAreCountedAndAnsweredWithZero) {
    SimCard card;
    PrepareForProgramme(card);
    EXPECT_EQ(card.ReadReg16(0x04), 0);       // not a register
    card.WriteReg16(reg::DIPR, 3);            // read-only
    EXPECT_EQ(card.ReadReg16(reg::CDIR), 0);  // write-only
    EXPECT_EQ(card.ReadReg16(0x83), 0);       // 16-bit access at an odd offset
    EXPECT_EQ(card.ReadBoard(6), 0);
    card.WriteBoard(board::kReset, 0x55);
    card.WriteReg16(reg::CCAR, 0x0800);  // command 1 does not exist
    EXPECT_EQ(card.GuestErrorCount(), 7u);
    EXPECT_EQ(card.GuestErrors().size(), 7u);

    card.WriteBoard(board::kControl, 0);  // board disabled: the register window is not decoded
    card.WriteReg16(reg::TC0R, 99);
    EXPECT_EQ(card.PeekReg16(reg::TC0R), 0);
    EXPECT_EQ(card.GuestErrorCount(), 8u);
}

TEST(Faults, BoardAbsentReadsAllOnes) {
    SimCard card;
    PrepareForProgramme(card);
    card.InjectBoardAbsent(true);
    for (uint8_t offset = 0; offset < 8; ++offset) {
        EXPECT_EQ(card.ReadBoard(offset), 0xFF);
    }
    EXPECT_EQ(card.ReadReg16(reg::PCR), 0xFFFF);
    card.ClearFaults();
    EXPECT_EQ(card.ReadBoard(board::kControl), board::kEnable);
}

TEST(Faults, ResetNeverCompletes) {
    SimCard card;
    card.InjectResetNeverCompletes(true);
    card.WriteBoard(board::kReset, 0);
    for (int i = 0; i < 65534; ++i) {
        ASSERT_EQ(card.ReadBoard(board::kReset) & board::kResetDone, 0);
    }
    card.ClearFaults();
    card.WriteBoard(board::kReset, 0);
    card.SetResetReadsToComplete(0);
    card.WriteBoard(board::kReset, 0);
    EXPECT_NE(card.ReadBoard(board::kReset) & board::kResetDone, 0);
}

TEST(Faults, StuckBitsForceReadsButNotTheStoredValue) {
    SimCard card;
    PrepareForProgramme(card);
    card.InjectStuckRegBits(reg::TCSR, 0x2000, 0x2000);
    card.InjectStuckRegBits(reg::PCR + 1, 0x0001, 0x0000);  // odd offset names the same register
    card.WriteReg16(reg::PCR, 0xF8F9);
    EXPECT_EQ(card.ReadReg16(reg::PCR), 0xF8F8);
    EXPECT_EQ(card.ReadReg8(reg::PCR), 0xF8);
    EXPECT_EQ(card.PeekReg16(reg::PCR), 0xF8F9);
    EXPECT_EQ(card.ReadReg8(reg::TCSR + 1), 0x20);

    card.InjectStuckBoardBits(board::kReset, board::kResetDone, 0);
    EXPECT_EQ(card.ReadBoard(board::kReset) & board::kResetDone, 0);
    card.ClearFaults();
    EXPECT_EQ(card.ReadReg16(reg::PCR), 0xF8F9);
    EXPECT_NE(card.ReadBoard(board::kReset) & board::kResetDone, 0);
}

TEST(Trace, FormatsEachKindOfAccess) {
    using K = Access::Kind;
    const struct {
        Access access;
        const char* text;
    } cases[] = {
        {{K::RegWrite16, 0x82, 0x0606}, "W16 REG 0x82 0x0606 CMR"},
        {{K::RegRead16, 0x82, 0x0606}, "R16 REG 0x82 0x0606 CMR"},
        {{K::BoardWrite, 0x03, 0x00}, "W8 IO 0x03 0x00"},
        {{K::BoardRead, 0x03, 0x10}, "R8 IO 0x03 0x10"},
        {{K::RegWrite8, 0xA5, 0x70}, "W8 REG 0xA5 0x70 RCSR"},
        {{K::RegRead8, 0x81, 0x03}, "R8 REG 0x81 0x03 CCAR"},
        {{K::RegRead16, 0x04, 0x0000}, "R16 REG 0x04 0x0000"},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(FormatAccess(c.access), c.text);
    }
}

TEST(Trace, RecordsRegisterAccessesInOrderButNotCardMemory) {
    SimCard card;
    card.WriteBoard(board::kReset, 0);  // before tracing: not recorded
    card.SetResetReadsToComplete(0);
    card.EnableTrace(true);
    card.WriteBoard(board::kReset, 0);
    card.ReadBoard(board::kReset);
    card.WriteBoard(board::kControl, board::kEnable | board::kHostAccess);
    card.WriteReg16(reg::CCAR, 0x000F);
    card.WriteReg8(reg::RCSR + 1, 0x50);
    card.ReadReg8(reg::TICR + 1);
    card.WriteWindow16(0, 1);

    std::vector<std::string> lines;
    for (const auto& a : card.Trace()) {
        lines.push_back(FormatAccess(a));
    }
    EXPECT_EQ(lines, (std::vector<std::string>{"W8 IO 0x03 0x00", "R8 IO 0x03 0x30",
                                               "W8 IO 0x00 0xC0", "W16 REG 0x80 0x000F CCAR",
                                               "W8 REG 0xA5 0x50 RCSR", "R8 REG 0xB7 0x20 TICR"}));
    card.ClearTrace();
    EXPECT_TRUE(card.Trace().empty());
}

}  // namespace
}  // namespace qorval::sim
