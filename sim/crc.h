#pragma once
// Frame check sequences as the IUSC's CRC generator makes them: the 16-bit CCITT CRC
// (x^16 + x^12 + x^5 + 1) or CRC-32, run over the serial bit stream least significant bit
// first, preset to all zeros or all ones, and sent as the ones complement of the register,
// low byte first. With the all-ones preset these are the usual HDLC frame check sequences.

#include <cstdint>
#include <span>
#include <vector>

namespace qorval::sim {

enum class CrcKind { None, Ccitt16, Crc32 };

// Number of frame check bytes the kind appends (0, 2 or 4).
size_t CrcLength(CrcKind kind);

// The frame check bytes for `bytes` (as they appear on the line), in the order they are sent.
std::vector<uint8_t> FrameCheck(CrcKind kind, bool preset_ones, std::span<const uint8_t> bytes);

// Whether the last CrcLength(kind) bytes of `frame` are the frame check of the bytes before
// them. A frame shorter than its check fails.
bool FrameCheckMatches(CrcKind kind, bool preset_ones, std::span<const uint8_t> frame);

}  // namespace qorval::sim
