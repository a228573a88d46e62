#include "analyser/decode/x25_packet.h"

#include <array>

#include "analyser/decode/field_values.h"

namespace qorval::analyser::decode {
namespace {

constexpr size_t kHeaderLength = 3;

constexpr PacketType kFixedTypes[] = {
    kPacketCallRequest,          kPacketCallAccepted,           kPacketClearRequest,
    kPacketClearConfirmation,    kPacketResetRequest,           kPacketResetConfirmation,
    kPacketInterrupt,            kPacketInterruptConfirmation,  kPacketDiagnostic,
    kPacketRegistrationRequest,  kPacketRegistrationConfirmation, kPacketRestartRequest,
    kPacketRestartConfirmation,
};

bool IsFixedType(uint8_t identifier) {
    for (PacketType type : kFixedTypes) {
        if (type == identifier) {
            return true;
        }
    }
    return false;
}

// The address block of a call set-up packet: one octet with the calling and called address
// lengths (in digits), then the called and the calling address as packed decimal digits.
void DecodeAddressBlock(std::span<const uint8_t> bytes, size_t offset, DecodedFrame& frame) {
    if (offset >= bytes.size()) {
        return;  // a call accepted packet may end before its address block
    }
    const size_t callingLength = bytes[offset] >> 4;
    const size_t calledLength = bytes[offset] & 0x0F;
    const size_t digitOctets = (callingLength + calledLength + 1) / 2;
    if (bytes.size() < offset + 1 + digitOctets) {
        frame.Break(Problem::Malformed, offset, "address block longer than the packet");
        return;
    }
    std::array<uint8_t, 30> digits{};
    for (size_t i = 0; i < callingLength + calledLength; ++i) {
        const uint8_t octet = bytes[offset + 1 + i / 2];
        digits[i] = (i % 2 == 0) ? octet >> 4 : octet & 0x0F;
        if (digits[i] > 9) {
            frame.Break(Problem::Malformed, offset + 1 + i / 2, "address digit is not 0 to 9");
            return;
        }
    }
    frame.Add(FieldId::CalledAddress, PackDigits({digits.data(), calledLength}));
    frame.Add(FieldId::CallingAddress, PackDigits({digits.data() + calledLength, callingLength}));
}

// Clear, reset and restart packets carry a cause and may carry a diagnostic code; a
// diagnostic packet carries the code alone.
void DecodeCauseAndDiagnostic(std::span<const uint8_t> bytes, size_t offset, bool withCause,
                              DecodedFrame& frame) {
    if (withCause) {
        if (offset >= bytes.size()) {
            frame.Break(Problem::Malformed, offset, "packet ends before its cause");
            return;
        }
        frame.Add(FieldId::Cause, bytes[offset++]);
    } else if (offset >= bytes.size()) {
        frame.Break(Problem::Malformed, offset, "packet ends before its diagnostic code");
        return;
    }
    if (offset < bytes.size()) {
        frame.Add(FieldId::Diagnostic, bytes[offset]);
    }
}

}  // namespace

void DecodeX25Packet(std::span<const uint8_t> bytes, size_t offset, DecodedFrame& frame) {
    if (offset >= bytes.size()) {
        return;  // an I-frame without a packet
    }
    frame.Add(FieldId::Layer, kLayerX25);
    if (bytes.size() < offset + kHeaderLength) {
        frame.Break(Problem::Malformed, bytes.size(), "packet header shorter than 3 bytes");
        return;
    }
    const uint8_t gfi = bytes[offset] >> 4;
    frame.Add(FieldId::Gfi, gfi);
    frame.Add(FieldId::LogicalChannel, ((bytes[offset] & 0x0Fu) << 8) | bytes[offset + 1]);
    const uint8_t modulus = gfi & 0x03;  // 01: modulo 8, 10: modulo 128
    if (modulus != 1 && modulus != 2) {
        frame.Break(Problem::Malformed, offset, "general format identifier is not modulo 8 or 128");
        return;
    }
    const bool extended = modulus == 2;
    const size_t at = offset + 2;  // the packet type identifier
    const uint8_t identifier = bytes[at];
    const bool flowControl = (identifier & 0x1F) == 0x01 || (identifier & 0x1F) == 0x05 ||
                             (identifier & 0x1F) == 0x09;
    const bool data = (identifier & 0x01) == 0;
    if ((data || flowControl) && extended && bytes.size() < at + 2) {
        frame.Break(Problem::Malformed, at + 1, "modulo 128 packet ends before P(R)");
        return;
    }
    if (data) {
        frame.Add(FieldId::PacketType, kPacketData);
        frame.Add(FieldId::QualifierBit, gfi >> 3);
        frame.Add(FieldId::DeliveryBit, (gfi >> 2) & 0x01);
        frame.Add(FieldId::PacketSend, extended ? identifier >> 1 : (identifier >> 1) & 0x07);
        frame.Add(FieldId::PacketReceive, extended ? bytes[at + 1] >> 1 : identifier >> 5);
        frame.Add(FieldId::MoreData, extended ? bytes[at + 1] & 0x01 : (identifier >> 4) & 0x01);
        return;
    }
    if (flowControl && (!extended || (identifier & 0xE0) == 0)) {
        frame.Add(FieldId::PacketType, kPacketRR + (identifier & 0x0Cu));
        frame.Add(FieldId::PacketReceive, extended ? bytes[at + 1] >> 1 : identifier >> 5);
        return;
    }
    if (!IsFixedType(identifier)) {
        frame.Break(Problem::Malformed, at, "unknown packet type");
        return;
    }
    frame.Add(FieldId::PacketType, identifier);
    switch (identifier) {
        case kPacketCallRequest:
        case kPacketCallAccepted:
            frame.Add(FieldId::DeliveryBit, (gfi >> 2) & 0x01);
            // With the A bit set the addresses carry type and numbering plan octets, which
            // this decoder leaves undecoded.
            if ((gfi & 0x08) == 0) {
                DecodeAddressBlock(bytes, at + 1, frame);
            }
            break;
        case kPacketClearRequest:
        case kPacketResetRequest:
        case kPacketRestartRequest:
            DecodeCauseAndDiagnostic(bytes, at + 1, true, frame);
            break;
        case kPacketDiagnostic:
            DecodeCauseAndDiagnostic(bytes, at + 1, false, frame);
            break;
        default:
            break;
    }
}

}  // namespace qorval::analyser::decode
