// One decoder per link protocol: each is a pure function from a frame's bytes (address to the
// end of the information field, without flags or frame check) to its fields.
#pragma once

#include <cstdint>
#include <span>

#include "analyser/decode/decoded_frame.h"
#include "analyser/decode/hdlc_control.h"

namespace qorval::analyser::decode {

// LAPB: address A or B, control field and, in I-frames, the X.25 packet header.
void DecodeLapb(std::span<const uint8_t> bytes, Modulo modulo, DecodedFrame& frame);
// SDLC: the secondary station's address and the control field.
void DecodeSdlc(std::span<const uint8_t> bytes, Modulo modulo, DecodedFrame& frame);
// Frame Relay: the Q.922 address, link management on DLCI 0 and 1023, and the protocol of
// the information field.
void DecodeFrameRelay(std::span<const uint8_t> bytes, DecodedFrame& frame);
// Cisco HDLC: address, control, protocol type and SLARP.
void DecodeCiscoHdlc(std::span<const uint8_t> bytes, DecodedFrame& frame);

}  // namespace qorval::analyser::decode
