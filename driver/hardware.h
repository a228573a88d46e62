#pragma once
// The driver's one window onto the card: 8-bit board registers in I/O space, the 256-byte
// IUSC register window, the 16 KB paged card-memory window, and a microsecond stall.
//
// Everything the driver does to the hardware goes through this interface, so the same driver
// code runs against the simulated card (sim/) and could run against a real card backend.
// Offsets are relative to the start of each window; the page of the card-memory window is
// chosen by bits 3-0 of board register 0 and host access to it by bit 6 (see the frame engine).

#include <cstddef>
#include <cstdint>

namespace wyvel32 {

class Hardware {
public:
    virtual ~Hardware() = default;

    // Board registers, 8-bit, at BaseIO + offset (offset 0 to 7).
    virtual uint8_t ReadBoard(uint8_t offset) = 0;
    virtual void WriteBoard(uint8_t offset, uint8_t value) = 0;

    // IUSC register window (offsets 0x00 to 0xFF). 16-bit registers are little-endian at even
    // offsets; byte accesses to the odd offset reach the high byte.
    virtual uint8_t ReadReg8(uint8_t offset) = 0;
    virtual void WriteReg8(uint8_t offset, uint8_t value) = 0;
    virtual uint16_t ReadReg16(uint8_t offset) = 0;
    virtual void WriteReg16(uint8_t offset, uint16_t value) = 0;

    // Card-memory window (offsets 0x0000 to 0x3FFF within the selected page). Single 16- and
    // 32-bit accesses reach list-entry fields; the block forms move frame data, either as
    // 32-bit words (count in words) or as single bytes (count in bytes). Host buffers need
    // no alignment.
    virtual uint16_t ReadWindow16(uint16_t offset) = 0;
    virtual void WriteWindow16(uint16_t offset, uint16_t value) = 0;
    virtual uint32_t ReadWindow32(uint16_t offset) = 0;
    virtual void WriteWindow32(uint16_t offset, uint32_t value) = 0;
    virtual void ReadWindowWords(uint16_t offset, uint8_t* host, size_t words) = 0;
    virtual void WriteWindowWords(uint16_t offset, const uint8_t* host, size_t words) = 0;
    virtual void ReadWindowBytes(uint16_t offset, uint8_t* host, size_t bytes) = 0;
    virtual void WriteWindowBytes(uint16_t offset, const uint8_t* host, size_t bytes) = 0;

    // Busy-waits the given number of microseconds (KeStallExecutionProcessor). The simulated
    // card advances its own clock instead of spending real time.
    virtual void StallMicroseconds(uint32_t microseconds) = 0;
};

}  // namespace wyvel32
