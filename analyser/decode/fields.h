// The fields a decoder finds in a frame. Every field is a number; how it is named in a filter
// expression, how it is labelled on a decoded line and which names stand for its values are
// fixed here, once, for every decoder.
#pragma once

#include <cstdint>
#include <optional>
#include <span>
#include <string_view>

namespace qorval::analyser::decode {

enum class FieldId : uint8_t {
    // HDLC family (LAPB, SDLC): address and control field.
    Address,
    Station,          // LAPB address A (0x03) or B (0x01)
    CommandResponse,  // command (1) or response (2), where the frame type tells
    FrameType,
    SendSequence,     // N(S)
    ReceiveSequence,  // N(R)
    PollFinal,        // the P/F bit
    // FRMR information field.
    RejectedControl,
    FrmrSendState,     // V(S)
    FrmrReceiveState,  // V(R)
    FrmrResponse,      // C/R of the rejected frame: 1 when it was a response
    FrmrW,
    FrmrX,
    FrmrY,
    FrmrZ,
    // X.25 packet layer above LAPB I-frames.
    Layer,
    Gfi,
    QualifierBit,
    DeliveryBit,
    LogicalChannel,
    PacketType,
    PacketSend,     // P(S)
    PacketReceive,  // P(R)
    MoreData,       // M
    CalledAddress,
    CallingAddress,
    Cause,
    Diagnostic,
    // Frame Relay: Q.922 address and what it carries.
    Dlci,
    CrBit,
    Fecn,
    Becn,
    DiscardEligible,
    Nlpid,
    Oui,
    Protocol,  // an EtherType: SNAP, Cisco encapsulation, Cisco HDLC
    // LMI on DLCI 0 / 1023.
    LmiVariant,
    MessageType,
    ReportType,
    LinkSendSequence,     // link integrity verification: send sequence number
    LinkReceiveSequence,  // and receive sequence number
    Pvc,
    PvcActive,
    PvcInactive,
    PvcNew,
    PvcDeleted,
    InformationElement,  // an element the decoder does not know, by its identifier
    // Cisco HDLC SLARP.
    SlarpCode,
    MySequence,
    YourSequence,
    IpAddress,
    IpMask,
    Count
};

// How a field appears on a decoded line.
enum class FieldStyle : uint8_t {
    Name,        // the name of its value alone ("SABM", "C", "A")
    Flag,        // its label when the value is not 0 ("FECN")
    PollFinal,   // "P" on a command, "F" on a response, "P/F" when unknown; only when set
    Decimal,     // "N(S)=3"
    Spaced,      // "DLCI 100"
    Hex,         // "ADDR=03", with the value's name after it when it has one ("PROTO=0800 IP")
    LabelName,   // "SLARP KEEPALIVE", "REPORT=FULL": label and the value's name, else hex
    Tag,         // its label alone, whatever the value ("ACTIVE" after "PVC 100")
    Digits,      // "CALLED=31101234"
    Ipv4,        // "IP=10.0.0.1"
};

struct ValueName {
    uint64_t value;
    std::string_view name;
};

struct FieldInfo {
    std::string_view filterName;  // the name in a filter expression
    std::string_view label;       // the label on a decoded line
    FieldStyle style;
    uint8_t hexDigits;                  // Hex style: digits shown
    std::span<const ValueName> names;  // names of values; a value may have aliases after it
};

const FieldInfo& InfoOf(FieldId id);
// The field a filter names, matched without regard to case.
std::optional<FieldId> FieldByFilterName(std::string_view name);
// The display name of a value (the first one listed), if it has one.
std::optional<std::string_view> NameOfValue(FieldId id, uint64_t value);

// X.121 addresses are kept as numbers: up to 15 decimal digits in 4 bits each, and their count
// in the top 4 bits, so that leading zeros survive.
uint64_t PackDigits(std::span<const uint8_t> digits);
size_t DigitCount(uint64_t packed);
uint8_t DigitAt(uint64_t packed, size_t index);

}  // namespace qorval::analyser::decode
