#pragma once
// Blocks on the line: header byte (SOH or STX), block number n, 255 minus n, the data, then the
// check: in CRC mode the CRC-16 of the data (polynomial 0x1021, initial value 0, no reflection,
// no final XOR), high byte first; in checksum mode the sum of the data bytes modulo 256.

#include <cstddef>
#include <cstdint>
#include <span>

#include "terminal/protocol.h"

namespace qorval::terminal {

uint16_t Crc16(std::span<const uint8_t> data);
uint8_t Checksum(std::span<const uint8_t> data);
inline size_t CheckLength(bool crc) {
    return crc ? 2 : 1;
}

// 1024 when the protocol allows large blocks and at least 1024 bytes remain, else 128.
size_t DataBlockSize(Protocol protocol, uint64_t remaining);

// Writes a whole block into `frame`: header, number, complement, `data` padded with `pad` up
// to `size` bytes (128 or 1024; `data` no longer than that) and the check. Returns its length.
size_t BuildBlock(std::span<uint8_t, kMaxBlockFrame> frame, uint8_t number,
                  std::span<const uint8_t> data, size_t size, bool crc, uint8_t pad);

// True when `check` (CheckLength bytes) is the CRC or checksum of `data`.
bool CheckMatches(std::span<const uint8_t> data, std::span<const uint8_t> check, bool crc);

}  // namespace qorval::terminal
