// The X.25 packet layer header carried in a LAPB I-frame: general format identifier, logical
// channel, packet type and, by type, the sequence numbers, the DTE addresses of a call set-up
// and the cause and diagnostic codes.
#pragma once

#include <cstddef>
#include <cstdint>
#include <span>

#include "analyser/decode/decoded_frame.h"

namespace qorval::analyser::decode {

// Decodes the packet that starts at `offset` (an I-frame's information field).
void DecodeX25Packet(std::span<const uint8_t> bytes, size_t offset, DecodedFrame& frame);

}  // namespace qorval::analyser::decode
