// The IUSC register window: one read and one write handler, dispatching by register. Registers
// hold what was written except where the chip does otherwise: command fields act and read 0,
// status bits clear by writing 1 or by reading, and the high byte of RICR/TICR reads what the
// last receive/transmit command selected.

#include "sim/iusc_registers.h"
#include "sim/sim_card.h"

namespace qorval::sim {
namespace {

void Merge(uint16_t& held, uint16_t value, uint16_t byte_mask) {
    held = static_cast<uint16_t>((held & ~byte_mask) | (value & byte_mask));
}

bool HighByte(uint16_t byte_mask) {
    return (byte_mask & 0xFF00) != 0;
}
bool LowByte(uint16_t byte_mask) {
    return (byte_mask & 0x00FF) != 0;
}

}  // namespace

// ---- Access entry points ----

bool SimCard::IuscDecodes(uint8_t offset, bool write) {
    const char* what = write ? "IUSC write" : "IUSC read";
    if ((board_[board::kControl] & board::kEnable) == 0) {
        GuestError(Describe(what, offset, "while the board is disabled"));
        return false;
    }
    const uint8_t even = offset & 0xFE;
    if (!IsKnownRegister(even)) {
        GuestError(Describe(what, offset, "at an unknown offset"));
        return false;
    }
    if (write && even == reg::DIPR) {
        GuestError(Describe(what, offset, "to a read-only register"));
        return false;
    }
    if (!write && even == reg::CDIR) {
        GuestError(Describe(what, offset, "of a write-only register"));
        return false;
    }
    return true;
}

uint16_t SimCard::ApplyStuckReg(uint8_t offset, uint16_t value) const {
    if (auto it = stuck_regs_.find(offset); it != stuck_regs_.end()) {
        const auto [mask, forced] = it->second;
        return static_cast<uint16_t>((value & ~mask) | (forced & mask));
    }
    return value;
}

uint16_t SimCard::ReadReg16(uint8_t offset) {
    uint16_t value = 0;
    if (board_absent_) {
        value = 0xFFFF;
    } else if ((offset & 1) != 0) {
        GuestError(Describe("16-bit IUSC read at odd offset", offset));
    } else if (IuscDecodes(offset, false)) {
        value = ApplyStuckReg(offset, ComposeRead16(offset));
        AfterRead16(offset);
    }
    Record(Access::Kind::RegRead16, offset, value);
    return value;
}

uint8_t SimCard::ReadReg8(uint8_t offset) {
    uint8_t value = 0;
    if (board_absent_) {
        value = 0xFF;
    } else if (IuscDecodes(offset, false)) {
        const uint8_t even = offset & 0xFE;
        const uint16_t word = ApplyStuckReg(even, ComposeRead16(even));
        const bool high = (offset & 1) != 0;
        value = static_cast<uint8_t>(high ? word >> 8 : word);
        if (!high) {
            AfterRead16(even);  // the status bits that clear on reading live in the low byte
        }
    }
    Record(Access::Kind::RegRead8, offset, value);
    return value;
}

void SimCard::WriteReg16(uint8_t offset, uint16_t value) {
    Record(Access::Kind::RegWrite16, offset, value);
    if (board_absent_) {
        return;
    }
    if ((offset & 1) != 0) {
        GuestError(Describe("16-bit IUSC write at odd offset", offset));
        return;
    }
    if (IuscDecodes(offset, true)) {
        Write16(offset, value, 0xFFFF);
    }
}

void SimCard::WriteReg8(uint8_t offset, uint8_t value) {
    Record(Access::Kind::RegWrite8, offset, value);
    if (board_absent_ || !IuscDecodes(offset, true)) {
        return;
    }
    const bool high = (offset & 1) != 0;
    Write16(offset & 0xFE, static_cast<uint16_t>(high ? value << 8 : value),
            high ? 0xFF00 : 0x00FF);
}

uint16_t SimCard::PeekReg16(uint8_t offset) const {
    return IsKnownRegister(offset) ? ComposeRead16(offset & 0xFE) : 0;
}

// ---- Read handler ----

uint16_t SimCard::ComposeRead16(uint8_t offset) const {
    const IuscState& s = chip_;
    switch (offset) {
        case reg::DCAR:
            return s.dcar & reg::kDcarKeepMask;
        case reg::TDMR:
            return s.tdmr | s.tdmr_status;
        case reg::RDMR:
            return s.rdmr | s.rdmr_status;
        case reg::DCR:
            return s.dcr;
        case reg::BDCR:
            return s.bdcr;
        case reg::DICR:
            return s.dicr;
        case reg::DIPR:
            return s.dma_pending;
        case reg::TDIAR:
            return s.tdiar;
        case reg::RDIAR:
            return s.rdiar;
        case reg::NTARL:
            return s.ntarl;
        case reg::NTARU:
            return s.ntaru;
        case reg::NRARL:
            return s.nrarl;
        case reg::NRARU:
            return s.nraru;
        // The high byte of CCAR reads the channel mode bits alone; commands leave no trace.
        case reg::CCAR:
            return s.ccar & (reg::kCcarModeMask | 0x00FF);
        case reg::CMR:
            return s.cmr;
        case reg::CCSR:
            return s.ccsr_low;
        case reg::CCR:
            return s.ccr;
        case reg::PSR:
            return PortStatus();
        case reg::PCR:
            return s.pcr;
        case reg::CMCR:
            return s.cmcr;
        case reg::HCR:
            return s.hcr;
        case reg::IOCR:
            return s.iocr;
        case reg::ICR:
            return s.icr;
        case reg::DCCR:
            return static_cast<uint16_t>((s.dccr_high << 8) | s.dccr_pending);
        case reg::MISR:
            return MiscStatus();
        case reg::RMR:
            return s.rmr;
        case reg::RCSR:
            return s.rcsr_status;
        case reg::RICR:
            return static_cast<uint16_t>((LevelRead(true) << 8) | s.ricr_low);
        case reg::RSR:
            return s.rsr;
        case reg::RCLR:
            return s.rclr;
        case reg::TC0R:
            return s.tc0r;
        case reg::TMR:
            return s.tmr;
        case reg::TCSR:
            return s.tcsr_idle | s.tcsr_status;
        case reg::TICR:
            return static_cast<uint16_t>((LevelRead(false) << 8) | s.ticr_low);
        default:
            return 0;
    }
}

void SimCard::AfterRead16(uint8_t offset) {
    // The DMA end-of-buffer and end-of-list status bits clear when the driver reads them.
    if (offset == reg::TDMR) {
        chip_.tdmr_status = 0;
    } else if (offset == reg::RDMR) {
        chip_.rdmr_status = 0;
    }
}

uint8_t SimCard::LevelRead(bool receive) const {
    const LevelSelect select = receive ? chip_.rx_select : chip_.tx_select;
    switch (select) {
        case LevelSelect::FifoStatus:
            // Frames move between FIFO and card memory as fast as the bus allows, so the
            // FIFOs are empty whenever the driver looks: 0 bytes held, 32 bytes free.
            return receive ? 0 : reg::kTxFifoDepth;
        case LevelSelect::InterruptLevel:
            return receive ? chip_.rx_interrupt_level : chip_.tx_interrupt_level;
        case LevelSelect::RequestLevel:
            return receive ? chip_.rx_request_level : chip_.tx_request_level;
    }
    return 0;
}

uint16_t SimCard::PortStatus() const {
    // Two bits per pin: the odd bit latches a change, the even bit reads 1 while the pin is
    // asserted (driven low by its PCR field 10, or an asserted input).
    const ModemOutputs out = GetModemOutputs();
    uint16_t value = chip_.psr_latch;
    if (out.rts)
        value |= reg::kPsrRts;
    if (out.dtr)
        value |= reg::kPsrDtr;
    if (((chip_.pcr >> reg::kPcrPort5Shift) & 0x3) == reg::kPcrDriveLow)
        value |= reg::kPsrPort5;
    if (port4_input_)
        value |= reg::kPsrPort4;
    return value;
}

uint16_t SimCard::MiscStatus() const {
    return misr_pins_.load(std::memory_order_relaxed);
}

// ---- Write handler ----

void SimCard::Write16(uint8_t offset, uint16_t value, uint16_t byte_mask) {
    IuscState& s = chip_;
    if (!s.bus_configured) {
        // The first write after a reset configures the bus interface, whatever its address.
        s.bus_configured = true;
        s.bcr = value;
        return;
    }
    switch (offset) {
        case reg::DCAR:
            Merge(s.dcar, value & reg::kDcarKeepMask, byte_mask & reg::kDcarKeepMask);
            if (HighByte(byte_mask)) {
                DmaCommand(static_cast<uint8_t>(value >> reg::kDcarCommandShift),
                           (value & reg::kDcarReceive) != 0);
            }
            break;
        case reg::TDMR:
            Merge(s.tdmr, value, byte_mask & reg::kDmrModeMask);
            break;
        case reg::RDMR:
            Merge(s.rdmr, value, byte_mask & reg::kDmrModeMask);
            break;
        case reg::DCR:
            Merge(s.dcr, value, byte_mask);
            break;
        case reg::BDCR:
            Merge(s.bdcr, value, byte_mask);
            break;
        case reg::DICR:
            Merge(s.dicr, value, byte_mask);
            break;
        case reg::CDIR:
            if (LowByte(byte_mask)) {
                s.dma_pending &= static_cast<uint8_t>(~value & 0xFF);
            }
            break;
        case reg::TDIAR:
            Merge(s.tdiar, value, byte_mask);
            break;
        case reg::RDIAR:
            Merge(s.rdiar, value, byte_mask);
            break;
        case reg::NTARL:
            Merge(s.ntarl, value, byte_mask);
            break;
        case reg::NTARU:
            Merge(s.ntaru, value, byte_mask);
            break;
        case reg::NRARL:
            Merge(s.nrarl, value, byte_mask);
            break;
        case reg::NRARU:
            Merge(s.nraru, value, byte_mask);
            break;
        case reg::CCAR:
            WriteCcar(value, byte_mask);
            break;
        case reg::CMR:
            Merge(s.cmr, value, byte_mask);
            break;
        case reg::CCSR:
            // The high byte holds status latches (write 1 to clear); none is modelled set.
            if (LowByte(byte_mask)) {
                s.ccsr_low = static_cast<uint8_t>(value);
            }
            break;
        case reg::CCR:
            Merge(s.ccr, value, byte_mask);
            break;
        case reg::PSR:
            s.psr_latch &= static_cast<uint16_t>(~(value & byte_mask));
            break;
        case reg::PCR:
            WritePcr(value, byte_mask);
            break;
        case reg::CMCR:
            Merge(s.cmcr, value, byte_mask);
            break;
        case reg::HCR:
            Merge(s.hcr, value, byte_mask);
            break;
        case reg::IOCR:
            Merge(s.iocr, value, byte_mask);
            break;
        case reg::ICR:
            Merge(s.icr, value, byte_mask);
            break;
        case reg::DCCR:
            WriteDccr(value, byte_mask);
            break;
        case reg::MISR:
            misr_pins_.fetch_and(static_cast<uint16_t>(~(value & byte_mask & reg::kMisrLatchMask)),
                                 std::memory_order_relaxed);
            break;
        case reg::RMR:
            Merge(s.rmr, value, byte_mask);
            break;
        case reg::RCSR:
            WriteCsr(true, value, byte_mask);
            break;
        case reg::RICR:
            WriteIcr(true, value, byte_mask);
            break;
        case reg::RSR:
            Merge(s.rsr, value, byte_mask);
            break;
        case reg::RCLR:
            Merge(s.rclr, value, byte_mask);
            break;
        case reg::TC0R:
            Merge(s.tc0r, value, byte_mask);
            break;
        case reg::TMR:
            Merge(s.tmr, value, byte_mask);
            break;
        case reg::TCSR:
            WriteCsr(false, value, byte_mask);
            break;
        case reg::TICR:
            WriteIcr(false, value, byte_mask);
            break;
        default:
            break;  // unknown offsets were refused by IuscDecodes
    }
    UpdateInterrupt();
    Kick();
}

void SimCard::WriteCcar(uint16_t value, uint16_t byte_mask) {
    IuscState& s = chip_;
    Merge(s.ccar, value, byte_mask & 0x00FF);
    if (!HighByte(byte_mask)) {
        return;
    }
    Merge(s.ccar, value, reg::kCcarModeMask);
    const uint8_t command = static_cast<uint8_t>(value >> reg::kCcarCommandShift);
    switch (command) {
        case reg::kCcarNone:
        case reg::kCcarLoadTcc:       // the DMA loads the count from each entry's control block
        case reg::kCcarLowByteFirst:  // card memory is little-endian like the host
            break;
        case reg::kCcarPurgeRx:
            PurgeReceiver();
            break;
        case reg::kCcarPurgeTx:
            break;  // the transmit FIFO never holds bytes between frames
        case reg::kCcarPurgeBoth:
            PurgeReceiver();
            break;
        case reg::kCcarLsbFirst:
            s.msb_first = false;
            break;
        case reg::kCcarMsbFirst:
            s.msb_first = true;
            break;
        case reg::kCcarRxReset:
            PurgeReceiver();
            break;
        default:
            GuestError(Describe("unsupported CCAR command word", value));
            break;
    }
}

void SimCard::WriteDccr(uint16_t value, uint16_t byte_mask) {
    IuscState& s = chip_;
    if (HighByte(byte_mask)) {
        s.dccr_high = static_cast<uint8_t>(value >> 8);
    }
    if (!LowByte(byte_mask)) {
        return;
    }
    const uint8_t sources = value & reg::kDccrSourceMask;
    switch (value & reg::kDccrCommandMask) {
        case reg::kDccrResetIpAndIus:
        case reg::kDccrClearIp:
            s.dccr_pending &= static_cast<uint8_t>(~sources);
            break;
        case reg::kDccrSetIp:
            s.dccr_pending |= sources;
            break;
        default:
            break;  // no command
    }
}

void SimCard::WriteCsr(bool receive, uint16_t value, uint16_t byte_mask) {
    IuscState& s = chip_;
    if (receive) {
        s.rcsr_status &= static_cast<uint16_t>(~(value & byte_mask & reg::kRcsrStatusMask));
    } else {
        s.tcsr_status &= static_cast<uint16_t>(~(value & byte_mask & reg::kTcsrStatusMask));
        if (HighByte(byte_mask)) {
            s.tcsr_idle = value & reg::kTcsrIdleMask;
        }
    }
    if (!HighByte(byte_mask)) {
        return;
    }
    LevelSelect& select = receive ? s.rx_select : s.tx_select;
    const uint8_t command = static_cast<uint8_t>(value >> reg::kCsrCommandShift);
    switch (command) {
        case 0:
            break;
        case reg::kCmdSelectFifoStatus:
            select = LevelSelect::FifoStatus;
            break;
        case reg::kCmdSelectInterruptLevel:
            select = LevelSelect::InterruptLevel;
            break;
        case reg::kCmdSelectRequestLevel:
            select = LevelSelect::RequestLevel;
            break;
        case reg::kCmdEnterHunt:
            if (receive) {
                PurgeReceiver();
                break;
            }
            [[fallthrough]];
        default:
            GuestError(Describe(receive ? "unsupported RCSR command" : "unsupported TCSR command",
                                command));
            break;
    }
}

void SimCard::WriteIcr(bool receive, uint16_t value, uint16_t byte_mask) {
    IuscState& s = chip_;
    if (LowByte(byte_mask)) {
        (receive ? s.ricr_low : s.ticr_low) = static_cast<uint8_t>(value);
    }
    if (!HighByte(byte_mask)) {
        return;
    }
    // The high byte writes the level the last command selected; the FIFO status is read-only.
    const auto level = static_cast<uint8_t>(value >> 8);
    switch (receive ? s.rx_select : s.tx_select) {
        case LevelSelect::FifoStatus:
            break;
        case LevelSelect::InterruptLevel:
            (receive ? s.rx_interrupt_level : s.tx_interrupt_level) = level;
            break;
        case LevelSelect::RequestLevel:
            (receive ? s.rx_request_level : s.tx_request_level) = level;
            break;
    }
}

void SimCard::WritePcr(uint16_t value, uint16_t byte_mask) {
    const ModemOutputs before = GetModemOutputs();
    Merge(chip_.pcr, value, byte_mask);
    NotifyOutputChange(before);
}

// ---- Status raised by the engines ----

void SimCard::RaiseReceiveStatus(uint16_t rcsr_bits) {
    RaiseStatus(chip_.rcsr_status, chip_.ricr_low, reg::kIpReceiveStatus, rcsr_bits);
}

void SimCard::RaiseTransmitStatus(uint16_t tcsr_bits) {
    RaiseStatus(chip_.tcsr_status, chip_.ticr_low, reg::kIpTransmitStatus, tcsr_bits);
}

void SimCard::RaiseStatus(uint16_t& status, uint8_t arms, uint8_t pending_bit, uint16_t bits) {
    // A status event whose bit is armed in the low byte of RICR/TICR makes the status
    // interrupt pending, whether or not the bit was still set from an earlier event; the
    // pending bit stays until DCCR clears it, whatever happens to the status bit.
    status |= bits;
    if ((bits & arms) != 0) {
        chip_.dccr_pending |= pending_bit;
    }
    UpdateInterrupt();
}

}  // namespace qorval::sim
