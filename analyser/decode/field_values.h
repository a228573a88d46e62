// The values of the fields that stand for a name: frame types, X.25 packet types, LMI and
// SLARP codes. Their names are in fields.cpp.
#pragma once

#include <cstdint>

namespace qorval::analyser::decode {

// FieldId::FrameType: the HDLC family's frame types (LAPB and SDLC).
enum FrameType : uint8_t {
    kTypeI = 1,
    kTypeRR,
    kTypeRNR,
    kTypeREJ,
    kTypeSREJ,
    kTypeSABM,
    kTypeSABME,
    kTypeSNRM,
    kTypeSNRME,
    kTypeDISC,
    kTypeUA,
    kTypeDM,
    kTypeFRMR,
    kTypeUI,
    kTypeXID,
    kTypeTEST,
    kTypeSIM,
    kTypeRSET,
    // SDLC: one control field is a command or a response by who sends it, which the frame
    // alone does not tell.
    kTypeDiscOrRd,
    kTypeSimOrRim,
    kTypeCFGR,
    kTypeBCN,
    kTypeUP,
};

// FieldId::CommandResponse.
enum CommandResponse : uint8_t { kCommand = 1, kResponse = 2 };

// FieldId::Layer: the protocol above the link, when one is decoded.
enum Layer : uint8_t { kLayerX25 = 1 };

// FieldId::PacketType: X.25 packet types. The values are the packet type identifier octet
// for the fixed ones; data and flow-control packets, whose octet carries sequence numbers,
// have values of their own above 0xFF.
enum PacketType : uint16_t {
    kPacketCallRequest = 0x0B,
    kPacketCallAccepted = 0x0F,
    kPacketClearRequest = 0x13,
    kPacketClearConfirmation = 0x17,
    kPacketResetRequest = 0x1B,
    kPacketResetConfirmation = 0x1F,
    kPacketInterrupt = 0x23,
    kPacketInterruptConfirmation = 0x27,
    kPacketDiagnostic = 0xF1,
    kPacketRegistrationRequest = 0xF3,
    kPacketRegistrationConfirmation = 0xF7,
    kPacketRestartRequest = 0xFB,
    kPacketRestartConfirmation = 0xFF,
    kPacketData = 0x100,
    kPacketRR = 0x101,
    kPacketRNR = 0x105,
    kPacketREJ = 0x109,
};

// FieldId::LmiVariant: which of the three link management procedures a status message follows.
enum LmiVariant : uint8_t { kLmiAnnexA = 1, kLmiAnnexD = 2, kLmiConsortium = 3 };

// FieldId::MessageType (Q.931 message types used by link management).
enum MessageType : uint8_t { kMessageStatusEnquiry = 0x75, kMessageStatus = 0x7D };

// FieldId::ReportType.
enum ReportType : uint8_t { kReportFull = 0, kReportLinkIntegrity = 1, kReportSinglePvc = 2 };

// FieldId::SlarpCode.
enum SlarpCode : uint32_t { kSlarpRequest = 0, kSlarpReply = 1, kSlarpKeepalive = 2 };

}  // namespace qorval::analyser::decode
