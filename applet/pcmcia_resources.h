// Decoding of the resource descriptor that PC card services store for a configured card.
#pragma once

#include <cstdint>
#include <span>

namespace qorval::applet {

struct PcmciaResources {
    bool found = false;  // the stored value could be read
    bool has_io_base = false;
    uint32_t io_base = 0;  // low 32 bits of the first port descriptor's start
    bool has_irq = false;
    uint32_t irq = 0;  // level of the first interrupt descriptor
};

// The stored value is read into a buffer of this size; a longer value cannot be read.
inline constexpr size_t kPcmciaValueLimit = 200;

// Decodes a full resource descriptor: a 32-bit count of partial descriptors at byte 12,
// then 16-byte partial descriptors from byte 16 (type byte 1 = port, 2 = interrupt, each
// with its 32-bit value at descriptor byte 4). Only descriptors that lie wholly inside
// `data` are looked at, whatever the stored count says.
PcmciaResources DecodePcmciaResources(std::span<const uint8_t> data);

}  // namespace qorval::applet
