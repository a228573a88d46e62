#pragma once
// How long a close waits for the queued frames when no transmit buffer frees: longer than one
// frame of the port's largest size takes on its line, so a slow line is never cut in the
// middle of its last frames, and short for a line that cannot send at all.
//
// The line rate is known to the library only when the transmit clock is the baud rate
// generator running from the card's oscillator: the oscillator's frequency divided by
// Divisor + 1. A clock from a pin, or a generator fed from one, runs at a rate the library
// cannot see; the wait then uses the default limit.

#include <chrono>

#include "portaccess/qorval32.h"

namespace qorval::library {

// Bits per second the port sends at, or 0 when the library cannot tell.
double TransmitBitsPerSecond(const PortInfo& info, const PortState& state);

// Twice one largest frame's time on the line (flags, frame check and the worst bit stuffing
// counted), never below `floor` and never above kLongestDrainWait.
std::chrono::milliseconds NoProgressLimitFor(const PortInfo& info, const PortState& state,
                                             std::chrono::milliseconds floor);

// Beyond this a line is taken as stopped whatever its programmed rate says.
inline constexpr std::chrono::milliseconds kLongestDrainWait{10 * 60 * 1000};

}  // namespace qorval::library
