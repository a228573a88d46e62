#pragma once
// How long a frame occupies the line, and the bit rate the channel's clock programme gives.

#include <cstdint>
#include <span>

#include "sim/iusc_state.h"

namespace qorval::sim {

// Clocks from outside the chip.
struct ClockInputs {
    double oscillator_hz = 20'000'000.0;  // the board's oscillator, "20.000" MHz by default
    double rxc_pin_hz = 0.0;              // clock on the RxC pin; 0: none supplied
    double txc_pin_hz = 0.0;              // clock on the TxC pin; 0: none supplied
};

// The transmit bit rate in bits per second from CMCR, HCR and TC0R. Returns 0 when the selected
// source gives no clock (baud rate generator disabled, or a pin with no clock supplied).
double TransmitBitRate(const IuscState& chip, const ClockInputs& clocks);

// Bits the frame occupies on the line after bit stuffing: a zero after every five ones in a
// row, counted over the bytes in the order they are sent (least significant bit first).
uint64_t StuffedBits(std::span<const uint8_t> wire);

// Bits of one frame on the line: the preamble CCR asks for, an opening flag, the stuffed
// contents (data and frame check) and a closing flag.
uint64_t FrameBitsOnLine(uint16_t ccr, std::span<const uint8_t> wire);

// Nanoseconds for that many bits at the rate, rounded up; 0 for an unlimited rate (rate <= 0
// is treated as no clock by the caller, not here).
uint64_t BitsToNanoseconds(uint64_t bits, double rate);

}  // namespace qorval::sim
