#include "analyser/decode/link_protocol.h"

#include "analyser/decode/link_decoders.h"

namespace qorval::analyser::decode {
namespace {

struct ProtocolNames {
    LinkProtocol protocol;
    std::string_view name;
    std::string_view title;
};

constexpr ProtocolNames kNames[] = {
    {LinkProtocol::Raw, "raw", "Raw (no decoding)"},
    {LinkProtocol::Lapb, "lapb", "LAPB / X.25 (modulo 8)"},
    {LinkProtocol::Lapb128, "lapb128", "LAPB / X.25 (modulo 128)"},
    {LinkProtocol::Sdlc, "sdlc", "SDLC (modulo 8)"},
    {LinkProtocol::Sdlc128, "sdlc128", "SDLC (modulo 128)"},
    {LinkProtocol::FrameRelay, "fr", "Frame Relay with LMI"},
    {LinkProtocol::CiscoHdlc, "cisco", "Cisco HDLC with SLARP"},
};

const ProtocolNames& NamesOf(LinkProtocol protocol) {
    for (const ProtocolNames& names : kNames) {
        if (names.protocol == protocol) {
            return names;
        }
    }
    return kNames[0];
}

}  // namespace

std::string_view LinkProtocolName(LinkProtocol protocol) {
    return NamesOf(protocol).name;
}

std::string_view LinkProtocolTitle(LinkProtocol protocol) {
    return NamesOf(protocol).title;
}

std::optional<LinkProtocol> ParseLinkProtocol(std::string_view name) {
    for (const ProtocolNames& names : kNames) {
        if (names.name == name) {
            return names.protocol;
        }
    }
    return std::nullopt;
}

DecodedFrame DecodeFrame(LinkProtocol protocol, std::span<const uint8_t> bytes) {
    DecodedFrame frame;
    switch (protocol) {
        case LinkProtocol::Raw:
            break;
        case LinkProtocol::Lapb:
            DecodeLapb(bytes, Modulo::Eight, frame);
            break;
        case LinkProtocol::Lapb128:
            DecodeLapb(bytes, Modulo::OneTwentyEight, frame);
            break;
        case LinkProtocol::Sdlc:
            DecodeSdlc(bytes, Modulo::Eight, frame);
            break;
        case LinkProtocol::Sdlc128:
            DecodeSdlc(bytes, Modulo::OneTwentyEight, frame);
            break;
        case LinkProtocol::FrameRelay:
            DecodeFrameRelay(bytes, frame);
            break;
        case LinkProtocol::CiscoHdlc:
            DecodeCiscoHdlc(bytes, frame);
            break;
    }
    return frame;
}

}  // namespace qorval::analyser::decode
