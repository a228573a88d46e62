// What the analyser knows about one frame beyond its bytes: its number and direction, what the
// library said when it was taken, and what the capture's decoder made of it. Filters look at
// it and statistics count it.
#pragma once

#include <cstdint>

#include "analyser/decode/decoded_frame.h"

namespace qorval::analyser {

struct FrameFacts {
    uint64_t number = 0;  // the frame's number where it is shown
    uint32_t length = 0;  // bytes of the frame
    bool sent = false;
    uint32_t result = 0;  // the library's result when it was taken (0: no error)
    // The analyser's own text took the place of a frame that could not be sent.
    bool sendFailed = false;
    const decode::DecodedFrame* decoded = nullptr;  // none for a text in a frame's place
};

// The kinds of error a frame can carry, each counted on its own.
enum class FrameError : uint8_t {
    None,
    Crc,        // received with a CRC error
    Overrun,    // received with an overrun (or a DMA buffer overflow)
    Short,      // shorter than its link header
    Malformed,  // a header that is not what the link protocol allows
    Other,      // any other library error, or a send that failed
};

// The one error a frame is counted under: the library's first, then the decoder's.
FrameError ErrorOf(const FrameFacts& facts);

}  // namespace qorval::analyser
