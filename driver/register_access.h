#pragma once
// Access to the IUSC register window. The card decodes the register window only while board
// register 0 has the board enabled and host card-memory access off, so every access saves
// board register 0, sets bits 7-6 to 10 (keeping the page bits), performs the access and puts
// the saved value back. Callers hold the interrupt lock, except while the device is being
// started or removed.

#include <cstdint>

#include "driver/port_context.h"

namespace wyvel32 {

void WriteIusc16(PortContext& port, uint8_t offset, uint16_t value);
uint16_t ReadIusc16(PortContext& port, uint8_t offset);
void WriteIusc8(PortContext& port, uint8_t offset, uint8_t value);
uint8_t ReadIusc8(PortContext& port, uint8_t offset);

// The CCAR channel mode bits every command word carries: internal local loopback or normal.
uint16_t ChannelModeBits(const PortConfig& config);

// Writes a CCAR command word with the channel mode bits.
void IssueChannelCommand(PortContext& port, uint16_t command);

// Next-list-address registers: low word, then the upper word of the card address.
void SetNextReceiveList(PortContext& port, uint32_t card_address);
void SetNextTransmitList(PortContext& port, uint32_t card_address);

}  // namespace wyvel32
