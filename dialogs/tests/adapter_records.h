#pragma once
// The records the adapter driver reports for a port with the default configuration, for the
// dialog tests to start from.

#include <cstring>

#include "portaccess/qorval32.h"

namespace qorval::dialogs::testing {

// PortInfo of the adapter driver's second port.
inline PortInfo AdapterPortInfo() {
    PortInfo info{};
    info.capabilities = 0x0001FE10;
    info.ioBase = 0xE020;
    info.txDmaChannel = 0xFFFF;
    info.rxDmaChannel = 0xFFFF;
    info.irq = 11;
    info.maxTxFrame = 1024;
    info.maxRxFrame = 2048;
    info.txBuffers = 50;
    info.rxBuffers = 100;
    info.cardType = 13;
    info.channel = 1;
    std::strcpy(info.oscillator, "20.000");
    return info;
}

// PortState of a port with the default configuration: divisor 126, NRZ, the BRG as transmit
// clock, the CRC preset of all ones.
inline PortState AdapterPortState() {
    PortState s{};
    s.divisor = 126;
    s.clockMultiplier = 1;
    s.dataBits = 8;
    s.crcPreset = 2;
    s.dpll = 1;
    s.txClock = 2;
    return s;
}

inline bool SameRecord(const PortState& a, const PortState& b) {
    return std::memcmp(&a, &b, sizeof a) == 0;
}

}  // namespace qorval::dialogs::testing
