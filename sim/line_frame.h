#pragma once
// One frame as it travels on the line between two channels.

#include <cstddef>
#include <cstdint>
#include <vector>

namespace qorval::sim {

struct LineFrame {
    std::vector<uint8_t> wire;  // bytes in line order (bit 0 sent first): data, then frame check
    uint64_t end_ns = 0;        // virtual time at which its closing flag has passed
    bool aborted = false;       // ended by an abort sequence: every receiver discards it
    uint16_t encoding = 0;      // the sender's line coding (TMR bits 15-13)
    size_t check_bytes = 0;     // how many bytes at the end of `wire` are the frame check
    bool check_by_receiver = false;  // from a far end outside the simulation: the receiver
                                     // appends the check its own settings expect
};

}  // namespace qorval::sim
