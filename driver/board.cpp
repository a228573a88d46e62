// Board-level operations of the channel set-up: presence, reset, set-up, line interface, TxC
// pin, stop, and the board check at device start.

#include "driver/channel_bits.h"
#include "driver/channel_programme.h"
#include "driver/events.h"
#include "driver/log_event.h"
#include "driver/register_access.h"
#include "driver/register_map.h"

namespace wyvel32 {

namespace {

// PCR PORT1 and PORT5 fields, and IOCR TxC pin control.
constexpr uint16_t kPcrKeepOutsideTxcFields = 0xF3F3;
constexpr uint16_t kPcrPort5High = 0x0C00;
constexpr uint16_t kPcrPort5Low = 0x0800;
constexpr uint16_t kIocrKeepOutsideTxc = 0xFFC7;
constexpr uint16_t kIocrTxcOutputClock = 0x0020;

}  // namespace

bool BoardPresent(PortContext& port) {
    return port.hardware->ReadBoard(board::kControl) != board::kAbsent;
}

NTSTATUS ResetBoard(PortContext& port) {
    Hardware& hw = *port.hardware;
    hw.WriteBoard(board::kReset, 0);
    bool done = false;
    for (uint32_t poll = 0; poll < kResetPolls && !done; ++poll) {
        done = (hw.ReadBoard(board::kReset) & board::kResetDone) != 0;
    }
    if (!done) {
        return STATUS_UNSUCCESSFUL;
    }
    hw.StallMicroseconds(kResetSettleMicroseconds);
    hw.StallMicroseconds(kResetSettleMicroseconds);
    return STATUS_SUCCESS;
}

NTSTATUS SetupBoard(PortContext& port) {
    Hardware& hw = *port.hardware;
    const PortConfig& config = port.config;
    hw.WriteBoard(board::kControl, hw.ReadBoard(board::kControl) & 0x7F);
    hw.WriteBoard(board::kSetup, board::kSetupValue);

    uint8_t window_select = static_cast<uint8_t>((config.Memory >> 14) & board::kWindowMask);
    if (config.Card != kCardTypePci) {
        const std::optional<uint8_t> code = InterruptCode(config.Interrupt);
        if (!code.has_value()) {
            return STATUS_UNSUCCESSFUL;
        }
        window_select |= *code;
    }
    hw.WriteBoard(board::kWindowSelect, window_select);
    hw.WriteBoard(board::kControl,
                  (hw.ReadBoard(board::kControl) | board::kEnable) & ~board::kHostAccess & 0xFF);

    if (!NT_SUCCESS(ProgramChannel(port))) {
        hw.WriteBoard(board::kControl, 0);
        return STATUS_UNSUCCESSFUL;
    }
    hw.WriteBoard(board::kWindowSelect, window_select);
    if (config.Card == kCardTypePci) {
        hw.WriteBoard(board::kPciSetup, board::kPciSetupValue);
    }
    hw.WriteBoard(board::kControl, 0);
    return STATUS_SUCCESS;
}

NTSTATUS SetLineInterface(PortContext& port) {
    const std::optional<uint8_t> code = LineInterfaceCode(port.config.Interface);
    if (!code.has_value()) {
        return STATUS_UNSUCCESSFUL;
    }
    Hardware& hw = *port.hardware;
    const uint8_t kept = hw.ReadBoard(board::kLineInterface) & board::kLineKeepMask;
    hw.WriteBoard(board::kLineInterface, kept | *code);
    return STATUS_SUCCESS;
}

NTSTATUS SetTxcPin(PortContext& port) {
    PortConfig& config = port.config;
    if (config.TXCMode != 1 && config.TXCMode != 2) {
        config.TXCMode = config.TxClock == 1 ? 1 : 2;
    }
    const bool txc_input = config.TXCMode == 1;
    const uint16_t pcr = ReadIusc16(port, iusc::PCR) & kPcrKeepOutsideTxcFields;
    WriteIusc16(port, iusc::PCR, pcr | (txc_input ? kPcrPort5High : kPcrPort5Low));
    const uint16_t iocr = ReadIusc16(port, iusc::IOCR) & kIocrKeepOutsideTxc;
    WriteIusc16(port, iusc::IOCR, txc_input ? iocr : iocr | kIocrTxcOutputClock);
    return STATUS_SUCCESS;
}

bool StopPort(PortContext& port) {
    WriteIusc16(port, iusc::DCAR, dcar::kPauseAll);
    port.PortFlags = 0;
    WriteIusc16(port, iusc::ICR, 0);
    WriteIusc8(port, iusc::RICR, 0);
    WriteIusc16(port, iusc::DICR, 0);
    WriteIusc16(port, iusc::CMCR, 0);
    WriteIusc16(port, iusc::HCR, 0);
    port.hardware->WriteBoard(board::kControl, 0);
    return true;
}

NTSTATUS StartTimeBoardCheck(PortContext& port) {
    uint32_t event = 0;
    if (!BoardPresent(port)) {
        event = EVENT_BOARD_ABSENT;
    } else if (!NT_SUCCESS(ResetBoard(port))) {
        event = EVENT_RESET_FAILED;
    } else if (!NT_SUCCESS(SetupBoard(port))) {
        const PortConfig& config = port.config;
        if (config.Card != kCardTypePci && !InterruptCode(config.Interrupt).has_value()) {
            // The set-up stopped before programming: the board cannot select this level.
            LogPortEvent(*port.driver, config.BaseIO, EVENT_BAD_INTERRUPT,
                         DecimalString(config.Interrupt));
            return STATUS_UNSUCCESSFUL;
        }
        event = EVENT_PROGRAMME_FAILED;
    } else {
        return STATUS_SUCCESS;
    }
    LogPortEvent(*port.driver, port.config.BaseIO, event, HexString(port.config.BaseIO));
    return STATUS_UNSUCCESSFUL;
}

}  // namespace wyvel32
