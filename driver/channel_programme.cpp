#include "driver/channel_programme.h"

#include "driver/channel_bits.h"
#include "driver/register_access.h"
#include "driver/register_map.h"

namespace wyvel32 {

namespace {

// One step of the programme: write a register and check that it reads back what was written.
bool WriteChecked(PortContext& port, uint8_t offset, uint16_t value) {
    WriteIusc16(port, offset, value);
    return ReadIusc16(port, offset) == value;
}

bool ReadsBack8(PortContext& port, uint8_t offset, uint8_t expected) {
    return ReadIusc8(port, offset) == expected;
}

// The registers and values that arm one direction of the channel.
struct DirectionSetup {
    uint8_t csr, csr_command, icr, icr_high;
    uint16_t csr_init, icr_init;
    uint8_t request_level, fifo_empty;
};

constexpr DirectionSetup kReceiveSetup = {iusc::RCSR,
                                          iusc::RCSR_COMMAND,
                                          iusc::RICR,
                                          iusc::RICR_HIGH,
                                          programme::kRcsrInit,
                                          programme::kRicrInit,
                                          programme::kRxRequestLevel,
                                          programme::kRxFifoEmpty};

constexpr DirectionSetup kTransmitSetup = {iusc::TCSR,
                                           iusc::TCSR_COMMAND,
                                           iusc::TICR,
                                           iusc::TICR_HIGH,
                                           programme::kTcsrInit,
                                           programme::kTicrInit,
                                           programme::kTxRequestLevel,
                                           programme::kTxFifoEmpty};

// Arms one direction: status cleared, interrupt control set and checked, then the DMA request
// level and the empty FIFO confirmed through the high byte of the interrupt control register,
// whose reading the last command selects.
bool ArmDirection(PortContext& port, const DirectionSetup& d) {
    WriteIusc16(port, d.csr, d.csr_init);
    if (!WriteChecked(port, d.icr, d.icr_init)) {
        return false;
    }
    WriteIusc8(port, d.csr_command, command::kSelectRequestLevel);
    WriteIusc8(port, d.icr_high, d.request_level);
    if (!ReadsBack8(port, d.icr_high, d.request_level)) {
        return false;
    }
    WriteIusc8(port, d.csr_command, command::kSelectFifoStatus);
    return ReadsBack8(port, d.icr_high, d.fifo_empty);
}

// The receiver, its count limit, and the transmit FIFO found empty (32 bytes free).
bool ProgramReceiver(PortContext& port) {
    return ArmDirection(port, kReceiveSetup) &&
           WriteChecked(port, iusc::RCLR, programme::kRclrMax) &&
           ReadsBack8(port, iusc::TICR_HIGH, programme::kTxFifoEmpty);
}

// The transmitter, then its idle line state.
bool ProgramTransmitter(PortContext& port) {
    if (!ArmDirection(port, kTransmitSetup)) {
        return false;
    }
    WriteIusc16(port, iusc::TCSR, IdleBits(port.config.IdleState));
    return true;
}

bool ProgramDma(PortContext& port) {
    WriteIusc16(port, iusc::DCCR, programme::kDccrInit);
    return WriteChecked(port, iusc::DCR, programme::kDcrInit) &&
           WriteChecked(port, iusc::RDMR, programme::kRdmrLinkedList) &&
           WriteChecked(port, iusc::TDMR, programme::kTdmrLinkedList) &&
           WriteChecked(port, iusc::BDCR, static_cast<uint16_t>(port.config.DMAThrottle));
}

bool Program(PortContext& port) {
    const PortConfig& config = port.config;
    const uint16_t mode_bits = ChannelModeBits(config);

    // The first write after reset is taken as the bus configuration.
    WriteIusc16(port, iusc::CCAR, ccar::kBusConfiguration);
    if (!WriteChecked(port, iusc::PCR, PcrValue(config)) ||
        !WriteChecked(port, iusc::IOCR, IocrValue(config))) {
        return false;
    }
    WriteIusc16(port, iusc::CCSR, programme::kCcsrClear);
    if ((ReadIusc16(port, iusc::CCSR) & 0xFF) != programme::kCcsrLowExpected) {
        return false;
    }
    if (!WriteChecked(port, iusc::CMCR, CmcrValue(config)) ||
        !WriteChecked(port, iusc::TC0R, static_cast<uint16_t>(config.Divisor)) ||
        !WriteChecked(port, iusc::HCR, HcrValue(config)) ||
        !WriteChecked(port, iusc::CCR, CcrValue(config))) {
        return false;
    }
    if (config.UseNodeAddress != 0) {
        WriteIusc16(port, iusc::RSR, static_cast<uint16_t>(config.SyncNodeAddress));
    }
    if (!WriteChecked(port, iusc::CMR, CmrValue(config)) || !ReadsBack8(port, iusc::RICR_HIGH, 0)) {
        return false;
    }
    if (!ProgramReceiver(port) || !ProgramTransmitter(port) || !ProgramDma(port)) {
        return false;
    }
    // The CCAR high byte reads back the channel mode alone.
    IssueChannelCommand(port, ccar::kLowByteFirst);
    if (!ReadsBack8(port, iusc::CCAR_HIGH, static_cast<uint8_t>(mode_bits >> 8))) {
        return false;
    }
    IssueChannelCommand(port, config.ByteSwapData != 0 ? ccar::kMsbFirst : ccar::kLsbFirst);
    const std::optional<uint16_t> mode = ModeValue(config);
    return mode.has_value() && WriteChecked(port, iusc::TMR, *mode) &&
           WriteChecked(port, iusc::RMR, *mode);
}

}  // namespace

NTSTATUS ProgramChannel(PortContext& port) {
    return Program(port) ? STATUS_SUCCESS : STATUS_UNSUCCESSFUL;
}

}  // namespace wyvel32
