#pragma once
// The tester's pseudo-random test pattern: 512 bytes whose bit stream, each byte least
// significant bit first, is the 511-bit maximal-length sequence of x^9 + x^5 + 1. The register
// repeats after 511 steps, so byte 511 equals byte 0 and every frame of the first 511 bytes
// carries the same bytes.

#include <array>
#include <cstddef>
#include <cstdint>

namespace qorval::bert {

inline constexpr size_t kPatternSize = 512;
inline constexpr size_t kFrameSize = 511;  // bytes of the pattern carried by each frame

using Pattern = std::array<uint8_t, kPatternSize>;

// 512 successive outputs of the 16-bit generator register, starting from 1.
constexpr Pattern GeneratePattern() {
    Pattern pattern{};
    uint32_t s = 1;
    for (uint8_t& out : pattern) {
        const uint32_t a = ((((s & 0x07) << 4) ^ (s & 0x70)) << 1) ^ (s & 0xFF);
        const uint32_t b = ((s & 0x1F0) ^ (s >> 5)) >> 3;
        s = ((a << 1) ^ b) & 0xFFFF;
        out = static_cast<uint8_t>((s >> 1) & 0xFF);
    }
    return pattern;
}

inline constexpr Pattern kPattern = GeneratePattern();

}  // namespace qorval::bert
