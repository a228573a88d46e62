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

using F = FieldId;
constexpr FieldId kHdlcFields[] = {
    F::Address,         F::Station,        F::CommandResponse, F::FrameType, F::SendSequence,
    F::ReceiveSequence, F::PollFinal,      F::RejectedControl, F::FrmrSendState,
    F::FrmrResponse,    F::FrmrReceiveState, F::FrmrW,         F::FrmrX,     F::FrmrY,
    F::FrmrZ};
constexpr FieldId kLapbFields[] = {
    F::Address,         F::Station,        F::CommandResponse, F::FrameType, F::SendSequence,
    F::ReceiveSequence, F::PollFinal,      F::RejectedControl, F::FrmrSendState,
    F::FrmrResponse,    F::FrmrReceiveState, F::FrmrW,         F::FrmrX,     F::FrmrY,
    F::FrmrZ,           F::Gfi,            F::QualifierBit,    F::DeliveryBit,
    F::LogicalChannel,  F::PacketType,     F::PacketSend,      F::PacketReceive,
    F::MoreData,        F::CalledAddress,  F::CallingAddress,  F::Cause,     F::Diagnostic};
constexpr FieldId kFrameRelayFields[] = {
    F::Dlci,       F::CrBit,       F::Fecn,       F::Becn,       F::DiscardEligible,
    F::Nlpid,      F::Oui,         F::Protocol,   F::LmiVariant, F::MessageType,
    F::ReportType, F::LinkSendSequence, F::LinkReceiveSequence, F::Pvc, F::PvcActive,
    F::PvcInactive, F::PvcNew,     F::PvcDeleted, F::InformationElement};
constexpr FieldId kCiscoHdlcFields[] = {F::Address,    F::Protocol,  F::SlarpCode, F::MySequence,
                                        F::YourSequence, F::IpAddress, F::IpMask};

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

std::span<const FieldId> FieldsOf(LinkProtocol protocol) {
    switch (protocol) {
        case LinkProtocol::Lapb:
        case LinkProtocol::Lapb128:
            return kLapbFields;
        case LinkProtocol::Sdlc:
        case LinkProtocol::Sdlc128:
            return kHdlcFields;
        case LinkProtocol::FrameRelay:
            return kFrameRelayFields;
        case LinkProtocol::CiscoHdlc:
            return kCiscoHdlcFields;
        case LinkProtocol::Raw:
            break;
    }
    return {};
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
