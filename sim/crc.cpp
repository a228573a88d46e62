// Bitwise CRC over bytes taken least significant bit first; frames are short enough that a
// table buys nothing the benchmarks would notice against the rest of the model.

#include "sim/crc.h"

#include <algorithm>

namespace qorval::sim {
namespace {

constexpr uint32_t kCcittReflected = 0x8408;      // x^16 + x^12 + x^5 + 1, bit-reversed
constexpr uint32_t kCrc32Reflected = 0xEDB88320;  // IEEE 802.3 polynomial, bit-reversed

uint32_t Register(CrcKind kind, bool preset_ones, std::span<const uint8_t> bytes) {
    const bool wide = kind == CrcKind::Crc32;
    const uint32_t poly = wide ? kCrc32Reflected : kCcittReflected;
    const uint32_t ones = wide ? 0xFFFFFFFFu : 0xFFFFu;
    uint32_t crc = preset_ones ? ones : 0;
    for (uint8_t byte : bytes) {
        crc ^= byte;
        for (int bit = 0; bit < 8; ++bit) {
            crc = (crc & 1) != 0 ? (crc >> 1) ^ poly : crc >> 1;
        }
    }
    return ~crc & ones;
}

}  // namespace

size_t CrcLength(CrcKind kind) {
    switch (kind) {
        case CrcKind::None:
            return 0;
        case CrcKind::Ccitt16:
            return 2;
        case CrcKind::Crc32:
            return 4;
    }
    return 0;
}

std::vector<uint8_t> FrameCheck(CrcKind kind, bool preset_ones, std::span<const uint8_t> bytes) {
    const size_t length = CrcLength(kind);
    std::vector<uint8_t> check(length);
    if (length == 0) {
        return check;
    }
    const uint32_t value = Register(kind, preset_ones, bytes);
    for (size_t i = 0; i < length; ++i) {
        check[i] = static_cast<uint8_t>(value >> (8 * i));
    }
    return check;
}

bool FrameCheckMatches(CrcKind kind, bool preset_ones, std::span<const uint8_t> frame) {
    const size_t length = CrcLength(kind);
    if (frame.size() < length) {
        return false;
    }
    const auto body = frame.first(frame.size() - length);
    const std::vector<uint8_t> expected = FrameCheck(kind, preset_ones, body);
    return std::equal(expected.begin(), expected.end(), frame.begin() + body.size());
}

}  // namespace qorval::sim
