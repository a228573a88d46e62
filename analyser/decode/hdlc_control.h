// The HDLC control field as LAPB and SDLC share it: I, supervisory and unnumbered frames,
// modulo 8 (one octet) or modulo 128 (two octets for I and supervisory frames), and the FRMR
// information field.
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <span>

#include "analyser/decode/decoded_frame.h"

namespace qorval::analyser::decode {

enum class Modulo : uint8_t { Eight, OneTwentyEight };

// Which unnumbered commands and responses a link knows: LAPB's balanced set, or SDLC's
// normal response mode set, in which some control fields are a command from the primary and a
// different response from a secondary.
enum class UnnumberedSet : uint8_t { Lapb, Sdlc };

// Decodes the control field at `offset` and, for FRMR, its information field: adds the frame
// type, command or response where the type alone tells, N(S), N(R) and P/F. Returns the offset
// of the information field, or nullopt when the frame broke (recorded in `frame`).
std::optional<size_t> DecodeControlField(std::span<const uint8_t> bytes, size_t offset,
                                         Modulo modulo, UnnumberedSet set, DecodedFrame& frame);

}  // namespace qorval::analyser::decode
