#pragma once
// One frame as it travels on the line between two channels.

#include <cstdint>
#include <vector>

namespace qorval::sim {

struct LineFrame {
    std::vector<uint8_t> wire;  // bytes in line order (bit 0 sent first): data, then frame check
    uint64_t end_ns = 0;        // virtual time at which its closing flag has passed
    bool aborted = false;       // ended by an abort sequence: every receiver discards it
};

}  // namespace qorval::sim
