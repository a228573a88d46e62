#pragma once
// Driving and reading the modem lines. Both run under the interrupt lock.

#include <cstdint>

#include "driver/port_context.h"

namespace wyvel32 {

// ModemControl word bits.
inline constexpr uint16_t MODEM_DTR = 0x0001;
inline constexpr uint16_t MODEM_RTS = 0x0002;
inline constexpr uint16_t MODEM_DSR = 0x0010;
inline constexpr uint16_t MODEM_DCD = 0x0020;
inline constexpr uint16_t MODEM_CTS = 0x0040;
inline constexpr uint16_t MODEM_RI = 0x0080;
inline constexpr uint16_t MODEM_PORT4 = 0x0100;

// Drives DTR and RTS from the word; with RS_485 set, RTS stays with the transmitter. The
// loopback bits (2 and 3) of the tools are ignored.
void SetModemLines(PortContext& port, uint16_t modem_control);

// The ModemControl word of the lines as they are now.
uint16_t GetModemLines(PortContext& port);

}  // namespace wyvel32
