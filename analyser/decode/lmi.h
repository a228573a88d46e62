// Link management on a Frame Relay link: the status enquiry and status messages of Q.933
// Annex A and ANSI T1.617 Annex D on DLCI 0, and of the consortium LMI on DLCI 1023.
#pragma once

#include <cstddef>
#include <cstdint>
#include <span>

#include "analyser/decode/decoded_frame.h"

namespace qorval::analyser::decode {

// Decodes the message that starts at `offset` (after the Q.922 address) when the DLCI, the
// control field and the protocol discriminator make it a link management message; false
// (nothing added) when they do not.
bool DecodeLmiMessage(std::span<const uint8_t> bytes, size_t offset, uint32_t dlci,
                      DecodedFrame& frame);

}  // namespace qorval::analyser::decode
