#include "applet/pcmcia_resources.h"

namespace qorval::applet {

namespace {

constexpr size_t kCountOffset = 12;
constexpr size_t kFirstDescriptor = 16;
constexpr size_t kDescriptorSize = 16;
constexpr size_t kValueOffset = 4;
constexpr uint8_t kTypePort = 1;
constexpr uint8_t kTypeInterrupt = 2;

uint32_t ReadLe32(std::span<const uint8_t> data, size_t offset) {
    return static_cast<uint32_t>(data[offset]) | static_cast<uint32_t>(data[offset + 1]) << 8 |
           static_cast<uint32_t>(data[offset + 2]) << 16 |
           static_cast<uint32_t>(data[offset + 3]) << 24;
}

}  // namespace

PcmciaResources DecodePcmciaResources(std::span<const uint8_t> data) {
    PcmciaResources result;
    result.found = true;
    if (data.size() < kFirstDescriptor) {
        return result;
    }
    const uint64_t stored_count = ReadLe32(data, kCountOffset);
    const uint64_t present = (data.size() - kFirstDescriptor) / kDescriptorSize;
    const uint64_t count = stored_count < present ? stored_count : present;
    for (uint64_t i = 0; i < count; ++i) {
        const size_t at = kFirstDescriptor + static_cast<size_t>(i) * kDescriptorSize;
        const uint8_t type = data[at];
        const uint32_t value = ReadLe32(data, at + kValueOffset);
        if (type == kTypePort && !result.has_io_base) {
            result.has_io_base = true;
            result.io_base = value;
        } else if (type == kTypeInterrupt && !result.has_irq) {
            result.has_irq = true;
            result.irq = value;
        }
    }
    return result;
}

}  // namespace qorval::applet
