// Clock tree of the channel as far as the transmitter needs it, and frame timing on the line.

#include "sim/line_timing.h"

#include <cmath>

#include "sim/iusc_registers.h"

namespace qorval::sim {
namespace {

constexpr uint64_t kFlagBits = 8;
constexpr uint16_t kCmcrDpllSourceMask = 0x00C0;
constexpr uint16_t kCmcrDpllFromRxcPin = 0x00C0;

double Brg0Rate(const IuscState& chip, const ClockInputs& clocks) {
    if ((chip.hcr & reg::kHcrBrg0Enable) == 0) {
        return 0.0;
    }
    double input = clocks.oscillator_hz;  // counter 0 runs from the oscillator
    switch (chip.cmcr & reg::kCmcrBrg0SourceMask) {
        case reg::kCmcrBrg0FromRxcPin:
            input = clocks.rxc_pin_hz;
            break;
        case reg::kCmcrBrg0FromTxcPin:
            input = clocks.txc_pin_hz;
            break;
        default:
            break;
    }
    // The generator divides its input by the time constant plus one.
    return input / (static_cast<double>(chip.tc0r) + 1.0);
}

double DpllRate(const IuscState& chip, const ClockInputs& clocks) {
    const double source = (chip.cmcr & kCmcrDpllSourceMask) == kCmcrDpllFromRxcPin
                              ? clocks.rxc_pin_hz
                              : Brg0Rate(chip, clocks);
    double divisor = 32.0;
    switch (chip.hcr & reg::kHcrDpllDivisorMask) {
        case reg::kHcrDpllDivide8:
            divisor = 8.0;
            break;
        case reg::kHcrDpllDivide16:
            divisor = 16.0;
            break;
        default:
            break;
    }
    return source / divisor;
}

}  // namespace

double TransmitBitRate(const IuscState& chip, const ClockInputs& clocks) {
    switch (chip.cmcr & reg::kCmcrTxClockMask) {
        case reg::kCmcrTxFromBrg0:
            return Brg0Rate(chip, clocks);
        case reg::kCmcrTxFromDpll:
            return DpllRate(chip, clocks);
        case reg::kCmcrTxFromRxcPin:
            return clocks.rxc_pin_hz;
        case reg::kCmcrTxFromTxcPin:
            return clocks.txc_pin_hz;
        default:
            return 0.0;  // no transmit clock selected
    }
}

uint64_t StuffedBits(std::span<const uint8_t> wire) {
    uint64_t bits = 0;
    unsigned ones = 0;
    for (uint8_t byte : wire) {
        for (int bit = 0; bit < 8; ++bit) {
            ++bits;
            if (((byte >> bit) & 1) == 0) {
                ones = 0;
            } else if (++ones == 5) {
                ++bits;  // the inserted zero
                ones = 0;
            }
        }
    }
    return bits;
}

uint64_t FrameBitsOnLine(uint16_t ccr, std::span<const uint8_t> wire) {
    uint64_t preamble = 0;
    if ((ccr & reg::kCcrPreambleEnable) != 0) {
        preamble = 8u << ((ccr & reg::kCcrPreambleLengthMask) >> 10);  // 8, 16, 32, 64
    }
    return preamble + kFlagBits + StuffedBits(wire) + kFlagBits;
}

uint64_t BitsToNanoseconds(uint64_t bits, double rate) {
    if (!(rate > 0.0) || std::isinf(rate)) {
        return 0;
    }
    return static_cast<uint64_t>(std::ceil(static_cast<double>(bits) * 1e9 / rate));
}

}  // namespace qorval::sim
