#pragma once
// A card driven the way the driver drives it, for the frame tests: the channel programme and
// open-time initialisation through registers, list entries and buffers through the paged
// card-memory window. Only what the tests need; the real sequence belongs to the driver.

#include <cstdint>
#include <memory>
#include <vector>

#include "sim/iusc_registers.h"
#include "sim/line.h"
#include "sim/sim_card.h"

namespace qorval::sim::testing {

struct PortSetup {
    uint16_t tx_buffers = 4;
    uint16_t rx_buffers = 4;
    uint16_t tx_size = 256;
    uint16_t rx_size = 256;
    uint16_t mode = 0x1702;  // TMR = RMR: CRC-32, preset ones, enabled
    uint16_t cmr = 0x0606;   // HDLC both ways
    uint16_t rsr = 0;        // station address for address search
    bool loopback = false;   // internal local loopback
    bool msb_first = false;
    uint16_t ccr = 0x8080;  // no preamble
};

struct RxEntry {
    uint32_t buffer;
    uint16_t count, status, receive_count;
};

class PortUnderTest {
  public:
    explicit PortUnderTest(const PortSetup& setup = {}) : s_(setup) {}

    SimCard card;

    // Reset, programme and open the channel with receive DMA running.
    void Open() {
        card.SetResetReadsToComplete(0);
        card.WriteBoard(board::kReset, 0);
        const uint16_t mode_bits = s_.loopback ? 0x0300 : 0;
        const struct {
            uint8_t offset;
            uint16_t value;
        } programme[] = {
            {reg::CCAR, 0x000F},  // bus configuration
            {reg::PCR, 0xF8F9},
            {reg::IOCR, static_cast<uint16_t>((s_.loopback ? 0x00C0 : 0) | 0x0008)},
            {reg::CCSR, 0x2020},
            {reg::CMCR, 0x0021},
            {reg::TC0R, 126},
            {reg::HCR, 0x0001},
            {reg::CCR, s_.ccr},
            {reg::RSR, s_.rsr},
            {reg::CMR, s_.cmr},
            {reg::RCSR, 0x61FF},
            {reg::RICR, 0x1F08},
            {reg::RCLR, 0xFFFF},
            {reg::TCSR, 0x60FF},
            {reg::TICR, 0x1F00},
            {reg::TCSR, 0x0000},
            {reg::DCCR, 0x007F},
            {reg::DCR, 0xA000},
            {reg::RDMR, 0xF200},
            {reg::TDMR, 0xF000},
            {reg::CCAR, static_cast<uint16_t>(0xB800 | mode_bits)},
            {reg::CCAR, static_cast<uint16_t>((s_.msb_first ? 0xA800 : 0xA000) | mode_bits)},
            {reg::TMR, s_.mode},
            {reg::RMR, s_.mode},
            // Open-time initialisation.
            {reg::CCAR, static_cast<uint16_t>(0x5800 | mode_bits)},
            {reg::TDIAR, 0x000C},
            {reg::RDIAR, 0x000C},
            {reg::DICR, 0xA003},
            {reg::ICR, 0x80E8},
            {reg::CCAR, mode_bits},
            {reg::DCAR, 0xC100},
        };
        for (const auto& step : programme) {
            Reg(step.offset, step.value);
        }
        Reg8(reg::RICR, 0x0A);
        Reg8(reg::TICR, 0x22);
        BuildLists();
        StartReceive(0);
    }

    void BuildLists() {
        uint32_t buffer = 16u * (s_.tx_buffers + s_.rx_buffers);
        for (uint32_t i = 0; i < s_.tx_buffers; ++i) {
            const uint32_t next = i + 1 == s_.tx_buffers ? 0 : 16 * (i + 1);
            WriteEntry(TxEntry(i), buffer, 0, 0, 0, 0xFFFF, next);
            buffer += s_.tx_size;
        }
        for (uint32_t i = 0; i < s_.rx_buffers; ++i) {
            const uint32_t next = RxEntryAddress(i + 1 == s_.rx_buffers ? 0 : i + 1);
            WriteEntry(RxEntryAddress(i), buffer, s_.rx_size, 0, s_.rx_size, 0xFFFF, next);
            buffer += s_.rx_size;
        }
    }

    uint32_t TxEntry(uint32_t i) const { return 16 * i; }
    uint32_t RxEntryAddress(uint32_t i) const { return 16 * (s_.tx_buffers + i); }

    // Copies a frame into transmit buffer i and fills its entry, as the driver's write does.
    void QueueFrame(uint32_t i, const std::vector<uint8_t>& frame) {
        WriteCard(Read32(TxEntry(i)), frame);
        const auto n = static_cast<uint16_t>(frame.size());
        Write16(TxEntry(i) + 8, n);
        Write16(TxEntry(i) + 4, n);
        Write16(TxEntry(i) + 10, n);
    }

    void StartTransmit(uint32_t i) {
        Reg(reg::NTARU, 0);
        Reg(reg::NTARL, static_cast<uint16_t>(TxEntry(i)));
        Reg(reg::CCAR, 0x7000 | (s_.loopback ? 0x0300 : 0));
        Reg(reg::DCAR, 0x7100);
    }

    void StartReceive(uint32_t i) {
        Reg(reg::NRARU, 0);
        Reg(reg::NRARL, static_cast<uint16_t>(RxEntryAddress(i)));
        Reg(reg::DCAR, 0x7300);
    }

    // Gives receive buffer i back to the DMA, as a read of its frame does.
    void GiveBack(uint32_t i) {
        Write16(RxEntryAddress(i) + 4, s_.rx_size);
        Write16(RxEntryAddress(i) + 8, s_.rx_size);
    }

    RxEntry ReadRxEntry(uint32_t i) {
        const uint32_t a = RxEntryAddress(i);
        return {Read32(a), Read16(a + 4), Read16(a + 6), Read16(a + 8)};
    }

    std::vector<uint8_t> RxBytes(uint32_t i, size_t n) {
        return ReadCard(ReadRxEntry(i).buffer, n);
    }

    // Register access with the board enabled and card-memory access off, as the driver does.
    void Reg(uint8_t offset, uint16_t value) {
        card.WriteBoard(board::kControl, board::kEnable);
        card.WriteReg16(offset, value);
    }
    void Reg8(uint8_t offset, uint8_t value) {
        card.WriteBoard(board::kControl, board::kEnable);
        card.WriteReg8(offset, value);
    }
    uint16_t Read(uint8_t offset) {
        card.WriteBoard(board::kControl, board::kEnable);
        return card.ReadReg16(offset);
    }
    bool Requesting() { return (card.ReadBoard(board::kReset) & board::kNoInterrupt) == 0; }

    // Card memory through the window, page by page.
    void WriteCard(uint32_t address, const std::vector<uint8_t>& bytes) {
        for (size_t i = 0; i < bytes.size(); ++i) {
            Page(address + i);
            card.WriteWindowBytes((address + i) & 0x3FFF, &bytes[i], 1);
        }
    }
    std::vector<uint8_t> ReadCard(uint32_t address, size_t n) {
        std::vector<uint8_t> bytes(n);
        for (size_t i = 0; i < n; ++i) {
            Page(address + i);
            card.ReadWindowBytes((address + i) & 0x3FFF, &bytes[i], 1);
        }
        return bytes;
    }
    void Write16(uint32_t address, uint16_t v) {
        WriteCard(address, {static_cast<uint8_t>(v), static_cast<uint8_t>(v >> 8)});
    }
    uint16_t Read16(uint32_t address) {
        const auto b = ReadCard(address, 2);
        return static_cast<uint16_t>(b[0] | (b[1] << 8));
    }
    void Write32(uint32_t address, uint32_t v) {
        Write16(address, static_cast<uint16_t>(v));
        Write16(address + 2, static_cast<uint16_t>(v >> 16));
    }
    uint32_t Read32(uint32_t address) {
        return Read16(address) | (static_cast<uint32_t>(Read16(address + 2)) << 16);
    }
    void WriteEntry(uint32_t at, uint32_t buffer, uint16_t count, uint16_t w6, uint16_t w8,
                    uint16_t w10, uint32_t next) {
        Write32(at, buffer);
        Write16(at + 4, count);
        Write16(at + 6, w6);
        Write16(at + 8, w8);
        Write16(at + 10, w10);
        Write32(at + 12, next);
    }

  private:
    void Page(uint32_t address) {
        card.WriteBoard(board::kControl, static_cast<uint8_t>(board::kEnable | board::kHostAccess |
                                                              ((address >> 14) & 0x0F)));
    }

    PortSetup s_;
};

// Two opened ports on a null-modem line.
struct PairOfPorts {
    explicit PairOfPorts(const PortSetup& a_setup = {}, const PortSetup& b_setup = {})
        : a(a_setup), b(b_setup) {
        a.Open();
        b.Open();
    }
    PortUnderTest a, b;
    std::unique_ptr<Line> line = Line::Pair(a.card, b.card);
};

inline std::vector<uint8_t> Pattern(size_t n, uint8_t seed = 1) {
    std::vector<uint8_t> bytes(n);
    for (size_t i = 0; i < n; ++i) {
        bytes[i] = static_cast<uint8_t>(seed + i * 7);
    }
    return bytes;
}

}  // namespace qorval::sim::testing
