// The PortState fields the macro SETPORT statement names by number.
#pragma once

#include <cstdint>

#include "portaccess/qorval32.h"

namespace qorval::analyser {

// Sets field 1..12 (receive and transmit timeout, divisor, clock multiplier, data bits, stop
// bits, parity, transmit and receive clock, BRG source, loopback, RS-485): the 32-bit fields
// take the value sign-extended, the 16-bit field as is, the 8-bit fields its low byte. Other
// numbers change nothing.
void SetPortStateVariable(PortState& state, int16_t variable, int16_t value);

}  // namespace qorval::analyser
