// The channel programme against the simulated card: register values for a grid of
// configurations, the board set-up, every read-back failure with its event, the line interface,
// the TxC pin, stopping, and the modem lines.

#include <gtest/gtest.h>

#include <functional>
#include <map>

#include "driver/channel_programme.h"
#include "driver/events.h"
#include "driver/modem_lines.h"
#include "driver/register_map.h"
#include "driver/tests/driver_test_support.h"

namespace wyvel32::testing {
namespace {

using Kind = qorval::sim::Access::Kind;

class ProgrammeTest : public SimPortFixture, public ::testing::Test {};

struct ProgrammeCase {
    const char* what;
    std::function<void(PortConfig&)> change;
    std::map<uint8_t, uint16_t> expected;  // last value written to each register
};

TEST_F(ProgrammeTest, RegisterValuesForEachConfiguration) {
    const ProgrammeCase cases[] = {
        {"defaults",
         [](PortConfig&) {},
         {{iusc::PCR, 0xF8F9},
          {iusc::IOCR, 0x0008},
          {iusc::CMCR, 0x0021},
          {iusc::TC0R, 0x007E},
          {iusc::HCR, 0x0001},
          {iusc::CCR, 0x9080},
          {iusc::CMR, 0x0606},
          {iusc::TCSR, 0x0000},
          {iusc::TMR, 0x1702},
          {iusc::RMR, 0x1702},
          {iusc::CCAR, 0xA000},
          {iusc::RCLR, 0xFFFF},
          {iusc::DCR, 0xA000},
          {iusc::RDMR, 0xF200},
          {iusc::TDMR, 0xF000},
          {iusc::BDCR, 0x0000},
          {iusc::DCCR, 0x007F},
          {iusc::RICR, 0x1F08},
          {iusc::TICR, 0x1F00}}},
        {"Manchester with the DPLL from RxC divided by 16",
         [](PortConfig& c) { c.Dpll = 64, c.DpllSource = 32, c.DpllDivisor = 16; },
         {{iusc::CMCR, 0x00A1}, {iusc::HCR, 0x0701}, {iusc::TMR, 0xD702}, {iusc::RMR, 0xD702}}},
        {"NRZI-space, DPLL from TxC divided by 8",
         [](PortConfig& c) { c.Dpll = 2, c.DpllSource = 128, c.DpllDivisor = 8; },
         {{iusc::CMCR, 0x00E1}, {iusc::HCR, 0x0901}, {iusc::TMR, 0x7702}}},
        {"FM1, DPLL from BRG0 divided by 32",
         [](PortConfig& c) { c.Dpll = 8, c.DpllSource = 16, c.DpllDivisor = 32; },
         {{iusc::CMCR, 0x0021}, {iusc::HCR, 0x0201}, {iusc::TMR, 0x9702}}},
        {"DPLL source and divisor ignored without the DPLL",
         [](PortConfig& c) { c.Dpll = 1, c.DpllSource = 128, c.DpllDivisor = 8; },
         {{iusc::CMCR, 0x0021}, {iusc::HCR, 0x0001}, {iusc::TMR, 0x1702}}},
        {"differential biphase-level, NRZB, NRZI-mark, FM0",
         [](PortConfig& c) { c.Dpll = 129, c.DpllSource = 16, c.DpllDivisor = 16; },
         {{iusc::TMR, 0xF702}, {iusc::HCR, 0x0701}}},
        {"NRZB",
         [](PortConfig& c) { c.Dpll = 130, c.DpllSource = 16, c.DpllDivisor = 16; },
         {{iusc::TMR, 0x3702}, {iusc::HCR, 0x0501}}},
        {"NRZI-mark",
         [](PortConfig& c) { c.Dpll = 131, c.DpllSource = 16, c.DpllDivisor = 16; },
         {{iusc::TMR, 0x5702}}},
        {"FM0",
         [](PortConfig& c) { c.Dpll = 4, c.DpllSource = 16, c.DpllDivisor = 16; },
         {{iusc::TMR, 0xB702}, {iusc::HCR, 0x0601}}},
        {"internal loopback",
         [](PortConfig& c) { c.LoopBack = 1; },
         {{iusc::IOCR, 0x00C8}, {iusc::CCAR, 0xA300}}},
        {"no CRC, preset ones",
         [](PortConfig& c) { c.CrcUsed = 0; },
         {{iusc::TMR, 0x0402}, {iusc::RMR, 0x0402}}},
        {"CRC-16, preset zeros",
         [](PortConfig& c) { c.CrcUsed = 2, c.CRCPreset = 1; },
         {{iusc::TMR, 0x0302}}},
        {"CRC-32, preset zeros", [](PortConfig& c) { c.CRCPreset = 1; }, {{iusc::TMR, 0x1302}}},
        {"RS-485", [](PortConfig& c) { c.RS_485 = 1; }, {{iusc::PCR, 0x78F9}}},
        {"TxC pin input", [](PortConfig& c) { c.TXCMode = 1; }, {{iusc::IOCR, 0x0000}}},
        {"most significant bit first",
         [](PortConfig& c) { c.ByteSwapData = 1; },
         {{iusc::CCAR, 0xA800}}},
        {"address filter",
         [](PortConfig& c) { c.UseNodeAddress = 1, c.SyncNodeAddress = 0x5A; },
         {{iusc::RSR, 0x005A}, {iusc::CMR, 0x0616}}},
        {"no opening flag", [](PortConfig& c) { c.MinFlags = 0; }, {{iusc::CCR, 0x8080}}},
        {"two opening flags", [](PortConfig& c) { c.MinFlags = 2; }, {{iusc::CCR, 0x9480}}},
        {"four opening flags", [](PortConfig& c) { c.MinFlags = 3; }, {{iusc::CCR, 0x9880}}},
        {"eight opening flags", [](PortConfig& c) { c.MinFlags = 200; }, {{iusc::CCR, 0x9C80}}},
        {"idle mark", [](PortConfig& c) { c.IdleState = 1; }, {{iusc::TCSR, 0x0700}}},
        {"idle space", [](PortConfig& c) { c.IdleState = 2; }, {{iusc::TCSR, 0x0600}}},
        {"idle one/zero", [](PortConfig& c) { c.IdleState = 3; }, {{iusc::TCSR, 0x0100}}},
        {"idle mark/space", [](PortConfig& c) { c.IdleState = 4; }, {{iusc::TCSR, 0x0500}}},
        {"idle ones", [](PortConfig& c) { c.IdleState = 5; }, {{iusc::TCSR, 0x0300}}},
        {"idle zeros", [](PortConfig& c) { c.IdleState = 6; }, {{iusc::TCSR, 0x0200}}},
        {"DPLL clocks, BRG0 from TxC",
         [](PortConfig& c) { c.TxClock = 3, c.RxClock = 3, c.BRGSource = 2; },
         {{iusc::CMCR, 0x031B}}},
        {"pin clocks, BRG0 from RxC",
         [](PortConfig& c) { c.TxClock = 1, c.RxClock = 2, c.BRGSource = 1; },
         {{iusc::CMCR, 0x0214}}},
        {"receive clock as transmit clock pin",
         [](PortConfig& c) { c.TxClock = 0, c.RxClock = 1; },
         {{iusc::CMCR, 0x000A}}},
        {"clock sources above 3 get no bits",
         [](PortConfig& c) { c.TxClock = 5, c.RxClock = 9; },
         {{iusc::CMCR, 0x0000}}},
        {"divisor and throttle",
         [](PortConfig& c) { c.Divisor = 0xFFFF, c.DMAThrottle = 0x1234; },
         {{iusc::TC0R, 0xFFFF}, {iusc::BDCR, 0x1234}}},
    };
    const PortConfig defaults = port.config;
    for (const ProgrammeCase& c : cases) {
        SCOPED_TRACE(c.what);
        port.config = defaults;
        c.change(port.config);
        card.ClearTrace();
        ASSERT_EQ(SetupBoard(port), STATUS_SUCCESS);
        for (const auto& [offset, value] : c.expected) {
            EXPECT_EQ(LastWrite16(offset), value) << "register 0x" << std::hex << int(offset);
        }
    }
}

// Every CCAR command word carries the channel mode; only the bus configuration does not.
TEST_F(ProgrammeTest, LoopbackModeBitsOnEveryCommandWord) {
    port.config.LoopBack = 1;
    ASSERT_EQ(SetupBoard(port), STATUS_SUCCESS);
    std::vector<uint16_t> ccar;
    for (const auto& access : card.Trace()) {
        if (access.kind == Kind::RegWrite16 && access.offset == iusc::CCAR) {
            ccar.push_back(access.value);
        }
    }
    EXPECT_EQ(ccar, (std::vector<uint16_t>{0x000F, 0xBB00, 0xA300}));
}

// Each IUSC access opens the register window and restores board register 0 afterwards.
TEST_F(ProgrammeTest, RegisterAccessSavesAndRestoresBoardRegister0) {
    card.WriteBoard(board::kControl, 0xC5);
    card.ClearTrace();
    ASSERT_EQ(SetTxcPin(port), STATUS_SUCCESS);
    const auto& trace = card.Trace();
    ASSERT_GE(trace.size(), 4u);
    EXPECT_EQ(trace[0].kind, Kind::BoardRead);
    EXPECT_EQ(trace[1].kind, Kind::BoardWrite);
    EXPECT_EQ(trace[1].value, 0x85);  // enable on, memory access off, page kept
    EXPECT_EQ(trace[3].kind, Kind::BoardWrite);
    EXPECT_EQ(trace[3].value, 0xC5);
    EXPECT_EQ(card.PeekBoard(board::kControl), 0xC5);
}

TEST_F(ProgrammeTest, BoardSetupWritesWindowSelectAndLeavesTheBoardDisabled) {
    port.config.Memory = 0xF8014000;  // window address bits 18-14 = 5
    ASSERT_EQ(SetupBoard(port), STATUS_SUCCESS);
    EXPECT_EQ(card.PeekBoard(board::kWindowSelect), 0x05);
    EXPECT_EQ(card.PeekBoard(board::kSetup), 0x70);
    EXPECT_EQ(card.PeekBoard(board::kPciSetup), 0x40);
    EXPECT_EQ(card.PeekBoard(board::kControl), 0x00);
}

TEST_F(ProgrammeTest, OlderCardGetsItsInterruptCodeOrFailsBeforeProgramming) {
    port.config.Card = kCardTypeIsa;
    port.config.Memory = 0xD0000;  // bits 18-14 = 0x14
    port.config.Interrupt = 10;
    ASSERT_EQ(SetupBoard(port), STATUS_SUCCESS);
    EXPECT_EQ(card.PeekBoard(board::kWindowSelect), 0x94);

    port.config.Interrupt = 6;
    card.ClearTrace();
    EXPECT_EQ(StartTimeBoardCheck(port), STATUS_UNSUCCESSFUL);
    EXPECT_FALSE(Written16(iusc::CCAR));
    ASSERT_EQ(EventCodes(), std::vector<uint32_t>{EVENT_BAD_INTERRUPT});
    EXPECT_EQ(events.Entries()[0].strings[0], "6");
}

TEST_F(ProgrammeTest, UnknownCrcPresetFailsTheProgramme) {
    port.config.CRCPreset = 3;
    EXPECT_EQ(SetupBoard(port), STATUS_UNSUCCESSFUL);
    EXPECT_FALSE(Written16(iusc::TMR));
    EXPECT_EQ(card.PeekBoard(board::kControl), 0x00);
}

struct StuckCase {
    const char* reg;
    uint8_t offset;
    uint16_t mask, value;
};

// A register that does not read back what the programme wrote fails the start with event
// 0xE007000A naming the board, and leaves the board disabled.
TEST_F(ProgrammeTest, EveryReadBackFailureFailsTheStart) {
    const StuckCase cases[] = {
        {"PCR", iusc::PCR, 0x0001, 0x0000},   {"IOCR", iusc::IOCR, 0x0001, 0x0001},
        {"CCSR", iusc::CCSR, 0x0001, 0x0001}, {"CMCR", iusc::CMCR, 0x0001, 0x0000},
        {"TC0R", iusc::TC0R, 0x0001, 0x0001}, {"HCR", iusc::HCR, 0x0001, 0x0000},
        {"CCR", iusc::CCR, 0x0001, 0x0001},   {"CMR", iusc::CMR, 0x0001, 0x0001},
        {"RICR", iusc::RICR, 0x0001, 0x0001}, {"RCLR", iusc::RCLR, 0x0001, 0x0000},
        {"TICR", iusc::TICR, 0x0001, 0x0001}, {"DCR", iusc::DCR, 0x0001, 0x0001},
        {"RDMR", iusc::RDMR, 0x0001, 0x0001}, {"TDMR", iusc::TDMR, 0x0001, 0x0001},
        {"BDCR", iusc::BDCR, 0x0001, 0x0001}, {"CCAR", iusc::CCAR, 0x0100, 0x0100},
        {"TMR", iusc::TMR, 0x0001, 0x0001},   {"RMR", iusc::RMR, 0x0001, 0x0001},
    };
    for (const StuckCase& c : cases) {
        SCOPED_TRACE(c.reg);
        card.ClearFaults();
        card.InjectStuckRegBits(c.offset, c.mask, c.value);
        events.Clear();
        EXPECT_EQ(StartTimeBoardCheck(port), STATUS_UNSUCCESSFUL);
        ASSERT_EQ(EventCodes(), std::vector<uint32_t>{EVENT_PROGRAMME_FAILED});
        EXPECT_EQ(events.Entries()[0].strings, std::vector<std::string>{"E000"});
        EXPECT_EQ(card.PeekBoard(board::kControl), 0x00);
    }
}

TEST_F(ProgrammeTest, ResetThatNeverCompletesIsGivenUpAfterItsPollLimit) {
    card.InjectResetNeverCompletes(true);
    EXPECT_EQ(StartTimeBoardCheck(port), STATUS_UNSUCCESSFUL);
    EXPECT_EQ(EventCodes(), std::vector<uint32_t>{EVENT_RESET_FAILED});
    size_t polls = 0;
    for (const auto& access : card.Trace()) {
        polls += access.kind == Kind::BoardRead && access.offset == board::kReset;
    }
    EXPECT_EQ(polls, kResetPolls);
    EXPECT_FALSE(Written16(iusc::CCAR));
}

TEST_F(ProgrammeTest, AbsentBoardIsReportedBeforeAnythingIsWritten) {
    card.InjectBoardAbsent(true);
    EXPECT_EQ(StartTimeBoardCheck(port), STATUS_UNSUCCESSFUL);
    EXPECT_EQ(EventCodes(), std::vector<uint32_t>{EVENT_BOARD_ABSENT});
    EXPECT_EQ(events.Entries()[0].strings, std::vector<std::string>{"E000"});
    ASSERT_EQ(card.Trace().size(), 1u);
}

TEST_F(ProgrammeTest, LineInterfaceCodesKeepTheHighBits) {
    const std::pair<uint32_t, uint8_t> cases[] = {{1, 0x1D},  {2, 0x12},  {4, 0x1E},  {16, 0x14},
                                                  {17, 0x15}, {18, 0x1A}, {19, 0x1B}, {20, 0x1F}};
    for (const auto& [interface, code] : cases) {
        card.WriteBoard(board::kLineInterface, 0xA0 | 0x03);
        port.config.Interface = interface;
        EXPECT_EQ(SetLineInterface(port), STATUS_SUCCESS);
        EXPECT_EQ(card.PeekBoard(board::kLineInterface), 0xA0 | code) << interface;
    }
    port.config.Interface = 8;  // MIL-188: valid in the registry, no code on the board
    EXPECT_EQ(SetLineInterface(port), STATUS_UNSUCCESSFUL);
    EXPECT_EQ(card.PeekBoard(board::kLineInterface), 0xA0 | 0x1F);
}

TEST_F(ProgrammeTest, TxcPinFollowsTheMode) {
    struct Case {
        uint32_t txc_mode, tx_clock, stored;
        uint16_t pcr, iocr;
    };
    for (const Case& c : {Case{1, 2, 1, 0xFCF1, 0x0000}, Case{2, 2, 2, 0xF8F1, 0x0020},
                          Case{0, 1, 1, 0xFCF1, 0x0000}, Case{9, 0, 2, 0xF8F1, 0x0020}}) {
        port.config.TXCMode = 2;
        ASSERT_EQ(SetupBoard(port), STATUS_SUCCESS);  // PCR 0xF8F9, IOCR 0x0008 (field 5-3)
        port.config.TXCMode = c.txc_mode;
        port.config.TxClock = c.tx_clock;
        ASSERT_EQ(SetTxcPin(port), STATUS_SUCCESS);
        EXPECT_EQ(port.config.TXCMode, c.stored);
        EXPECT_EQ(card.PeekReg16(iusc::PCR), c.pcr);
        EXPECT_EQ(card.PeekReg16(iusc::IOCR), c.iocr);
    }
}

TEST_F(ProgrammeTest, StopPortQuietensTheChannel) {
    ASSERT_EQ(SetupBoard(port), STATUS_SUCCESS);
    port.PortFlags = TX_IDLE | RX_STOPPED;
    card.ClearTrace();
    EXPECT_TRUE(StopPort(port));
    EXPECT_EQ(port.PortFlags, 0u);
    EXPECT_EQ(LastWrite16(iusc::DCAR), dcar::kPauseAll);
    for (uint8_t reg : {iusc::ICR, iusc::DICR, iusc::CMCR, iusc::HCR}) {
        EXPECT_TRUE(Written16(reg));
        EXPECT_EQ(LastWrite16(reg), 0u);
    }
    EXPECT_EQ(card.PeekReg16(iusc::RICR) & 0xFF, 0u);
    EXPECT_EQ(card.PeekBoard(board::kControl), 0u);
}

TEST_F(ProgrammeTest, ModemLinesDriveDtrAndRts) {
    struct Case {
        uint32_t rs485;
        uint16_t word;
        uint16_t pcr;
    };
    const Case cases[] = {
        {0, MODEM_DTR | MODEM_RTS, 0xA8F9},
        {0, 0, 0xF8F9},
        {0, MODEM_DTR, 0xE8F9},
        {0, MODEM_RTS | 0x000C, 0xB8F9},     // the loopback bits are ignored
        {1, MODEM_DTR | MODEM_RTS, 0x68F9},  // RTS stays with the transmitter: bits 15-14 01
        {1, 0, 0x78F9},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(::testing::Message() << "rs485 " << c.rs485 << " word " << c.word);
        port.config.RS_485 = c.rs485;
        ASSERT_EQ(SetupBoard(port), STATUS_SUCCESS);
        card.ClearTrace();
        SetModemLines(port, c.word);
        EXPECT_EQ(LastWrite16(iusc::PSR), 0xAAAA);
        EXPECT_EQ(card.PeekReg16(iusc::PCR), c.pcr);
    }
}

TEST_F(ProgrammeTest, ModemLinesReadBackInputsAndOutputs) {
    ASSERT_EQ(SetupBoard(port), STATUS_SUCCESS);
    SetModemLines(port, MODEM_DTR | MODEM_RTS);
    EXPECT_TRUE(card.GetModemOutputs().dtr);
    EXPECT_TRUE(card.GetModemOutputs().rts);
    card.SetModemInputs({.dsr = true, .dcd = false, .cts = true, .ri = false});
    const uint16_t word = GetModemLines(port);
    EXPECT_EQ(word & (MODEM_DTR | MODEM_RTS), MODEM_DTR | MODEM_RTS);
    EXPECT_EQ(word & (MODEM_DSR | MODEM_DCD | MODEM_CTS | MODEM_RI), MODEM_DSR | MODEM_CTS);
    card.SetModemInputs({.dsr = false, .dcd = true, .cts = false, .ri = true});
    SetModemLines(port, 0);
    const uint16_t idle = GetModemLines(port);
    EXPECT_EQ(idle & (MODEM_DTR | MODEM_RTS | MODEM_DSR | MODEM_CTS), 0);
    EXPECT_EQ(idle & (MODEM_DCD | MODEM_RI), MODEM_DCD | MODEM_RI);
    EXPECT_EQ(idle & 0xFE0C, 0);  // undefined bits stay clear
}

}  // namespace
}  // namespace wyvel32::testing
