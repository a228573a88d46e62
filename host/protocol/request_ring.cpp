#include "host/protocol/request_ring.h"

#include <cstring>

namespace qorval::protocol::ring {

std::vector<uint8_t> EncodeDescription(const Description& description) {
    const uint32_t words[] = {description.version, description.slots, description.slot_data_size,
                              description.region_size};
    static_assert(sizeof(words) == kDescriptionSize);
    std::vector<uint8_t> bytes(kDescriptionSize);
    std::memcpy(bytes.data(), words, sizeof(words));
    return bytes;
}

bool DescribesThisRing(std::span<const uint8_t> bytes) {
    return bytes.size() == kDescriptionSize &&
           std::memcmp(bytes.data(), EncodeDescription(Description{}).data(), kDescriptionSize) == 0;
}

}  // namespace qorval::protocol::ring
