#include "driver/channel_bits.h"

#include <iterator>

#include "driver/register_map.h"

namespace wyvel32 {

namespace {

// Clock source codes of TxClock and RxClock.
constexpr uint32_t kClockRxcPin = 0;
constexpr uint32_t kClockTxcPin = 1;
constexpr uint32_t kClockBrg0 = 2;
constexpr uint32_t kClockDpll = 3;

uint16_t TxClockBits(uint32_t source) {
    switch (source) {
        case kClockRxcPin:
            return 0x0008;
        case kClockTxcPin:
            return 0x0010;
        case kClockBrg0:
            return 0x0020;
        case kClockDpll:
            return 0x0018;
        default:
            return 0;
    }
}

uint16_t RxClockBits(uint32_t source) {
    switch (source) {
        case kClockRxcPin:
            return 0x0001;
        case kClockTxcPin:
            return 0x0002;
        case kClockBrg0:
            return 0x0004;
        case kClockDpll:
            return 0x0003;
        default:
            return 0;
    }
}

uint16_t DpllSourceBits(uint32_t source) {
    switch (source) {
        case 32:  // RxC pin
            return 0x0080;
        case 128:  // TxC pin
            return 0x00C0;
        default:  // 16: BRG0
            return 0;
    }
}

uint16_t BrgSourceBits(uint32_t source) {
    switch (source) {
        case 1:  // RxC pin
            return 0x0200;
        case 2:  // TxC pin
            return 0x0300;
        default:  // 0: counter 0
            return 0;
    }
}

uint16_t DpllModeBits(uint32_t dpll) {
    switch (dpll) {
        case 4:
        case 8:
            return 0x0200;  // biphase-space / biphase-mark
        case 64:
        case 129:
            return 0x0300;  // biphase-level
        case 2:
        case 130:
        case 131:
            return 0x0100;  // NRZ / NRZI
        default:
            return 0;
    }
}

uint16_t DpllDivisorBits(uint32_t divisor) {
    switch (divisor) {
        case 8:
            return 0x0800;
        case 16:
            return 0x0400;
        default:  // 32
            return 0;
    }
}

bool UsesDpll(const PortConfig& config) {
    return config.Dpll > 1;
}

}  // namespace

uint16_t PcrValue(const PortConfig& config) {
    return config.RS_485 == 1 ? programme::kPcrRs485 : programme::kPcrNormal;
}

uint16_t IocrValue(const PortConfig& config) {
    uint16_t value = config.LoopBack == 1 ? programme::kIocrLoopback : 0;
    if (config.TXCMode != 1) {
        value |= programme::kIocrTxcOutput;
    }
    return value;
}

uint16_t CmcrValue(const PortConfig& config) {
    uint16_t value = TxClockBits(config.TxClock) | RxClockBits(config.RxClock);
    if (UsesDpll(config)) {
        value |= DpllSourceBits(config.DpllSource);
    }
    return value | BrgSourceBits(config.BRGSource);
}

uint16_t HcrValue(const PortConfig& config) {
    uint16_t value = programme::kHcrBrg0Enable;
    if (UsesDpll(config)) {
        value |= DpllModeBits(config.Dpll) | DpllDivisorBits(config.DpllDivisor);
    }
    return value;
}

uint16_t CcrValue(const PortConfig& config) {
    static constexpr uint16_t kPreamble[] = {0x0000, 0x1000, 0x1400, 0x1800, 0x1C00};
    const uint32_t index = config.MinFlags < 4 ? config.MinFlags : 4;
    return programme::kCcrTwoWordBlocks | kPreamble[index];
}

uint16_t CmrValue(const PortConfig& config) {
    return config.UseNodeAddress != 0 ? programme::kCmrHdlc | programme::kCmrAddressSearch
                                      : programme::kCmrHdlc;
}

uint16_t IdleBits(uint32_t idle_state) {
    static constexpr uint16_t kIdle[] = {0x0000, 0x0700, 0x0600, 0x0100, 0x0500, 0x0300, 0x0200};
    return idle_state < std::size(kIdle) ? kIdle[idle_state] : 0;
}

uint16_t EncodingBits(uint32_t dpll) {
    switch (dpll) {
        case 2:
            return 0x6000;  // NRZI-space
        case 4:
            return 0xA000;  // biphase-space (FM0)
        case 8:
            return 0x8000;  // biphase-mark (FM1)
        case 64:
            return 0xC000;  // biphase-level (Manchester)
        case 129:
            return 0xE000;  // differential biphase-level
        case 130:
            return 0x2000;  // NRZB
        case 131:
            return 0x4000;  // NRZI-mark
        default:
            return 0x0000;  // NRZ
    }
}

std::optional<uint16_t> ModeValue(const PortConfig& config) {
    uint16_t crc = 0;
    if (config.CRCPreset == 2) {
        crc = programme::kCrcPresetOnes;
    } else if (config.CRCPreset != 1) {
        return std::nullopt;
    }
    if (config.CrcUsed == 1) {
        crc |= programme::kCrc32 | programme::kCrcEnable;
    } else if (config.CrcUsed == 2) {
        crc |= programme::kCrcEnable;
    }
    return static_cast<uint16_t>(EncodingBits(config.Dpll) | crc | programme::kModeTxEnable);
}

std::optional<uint8_t> InterruptCode(uint32_t level) {
    switch (level) {
        case 3:
        case 5:
        case 7:
            return 0x20;
        case 4:
            return 0x40;
        case 9:
            return 0x60;
        case 10:
            return 0x80;
        case 11:
            return 0xA0;
        case 12:
            return 0xC0;
        case 15:
            return 0xE0;
        default:
            return std::nullopt;
    }
}

std::optional<uint8_t> LineInterfaceCode(uint32_t interface) {
    switch (interface) {
        case 1:
            return 0x1D;  // EIA-530
        case 2:
            return 0x12;  // RS-232
        case 4:
            return 0x1E;  // V.35
        case 16:
            return 0x14;  // RS485-TERM
        case 17:
            return 0x15;  // RS485-NOTERM
        case 18:
            return 0x1A;
        case 19:
            return 0x1B;
        case 20:
            return 0x1F;  // EIA-530A
        default:
            return std::nullopt;  // MIL-188 (8) included: the board has no code for it
    }
}

}  // namespace wyvel32
