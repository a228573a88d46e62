// The link protocol a capture is decoded as, chosen per capture, and the one entry point that
// decodes a frame by it.
#pragma once

#include <cstdint>
#include <optional>
#include <span>
#include <string_view>

#include "analyser/decode/decoded_frame.h"

namespace qorval::analyser::decode {

enum class LinkProtocol : uint8_t {
    Raw,         // no decoding
    Lapb,        // HDLC/LAPB modulo 8 with X.25 above
    Lapb128,     // HDLC/LAPB modulo 128 with X.25 above
    Sdlc,        // SDLC modulo 8
    Sdlc128,     // SDLC modulo 128
    FrameRelay,  // Frame Relay with link management
    CiscoHdlc,   // Cisco HDLC with SLARP
};

inline constexpr LinkProtocol kLinkProtocols[] = {
    LinkProtocol::Raw,  LinkProtocol::Lapb,    LinkProtocol::Lapb128,   LinkProtocol::Sdlc,
    LinkProtocol::Sdlc128, LinkProtocol::FrameRelay, LinkProtocol::CiscoHdlc};

// The name on the command line and in the profile ("lapb", "fr", ...).
std::string_view LinkProtocolName(LinkProtocol protocol);
// The name a person reads in a window ("LAPB (modulo 8)", ...).
std::string_view LinkProtocolTitle(LinkProtocol protocol);
std::optional<LinkProtocol> ParseLinkProtocol(std::string_view name);

// The fields a link's decoder can find, in the order they appear on a line.
std::span<const FieldId> FieldsOf(LinkProtocol protocol);

// Decodes one frame (address to the end of the information field).
DecodedFrame DecodeFrame(LinkProtocol protocol, std::span<const uint8_t> bytes);

}  // namespace qorval::analyser::decode
