// Cisco HDLC: address 0x0F (unicast) or 0x8F (broadcast), control 0x00, a two-octet protocol
// type (an EtherType), and SLARP on protocol 0x8035: address requests and replies with the
// address and mask, and keepalives with both sides' sequence numbers.
#include "analyser/decode/field_values.h"
#include "analyser/decode/link_decoders.h"

namespace qorval::analyser::decode {
namespace {

constexpr uint8_t kUnicast = 0x0F;
constexpr uint8_t kBroadcast = 0x8F;
constexpr uint16_t kProtocolSlarp = 0x8035;
constexpr size_t kHeaderLength = 4;

uint32_t BigEndian32(std::span<const uint8_t> bytes, size_t at) {
    return (uint32_t{bytes[at]} << 24) | (uint32_t{bytes[at + 1]} << 16) |
           (uint32_t{bytes[at + 2]} << 8) | bytes[at + 3];
}

void DecodeSlarp(std::span<const uint8_t> bytes, size_t at, DecodedFrame& frame) {
    if (bytes.size() < at + 4) {
        frame.Break(Problem::Malformed, at, "SLARP code shorter than 4 bytes");
        return;
    }
    const uint32_t code = BigEndian32(bytes, at);
    frame.Add(FieldId::SlarpCode, code);
    if (code != kSlarpRequest && code != kSlarpReply && code != kSlarpKeepalive) {
        frame.Break(Problem::Malformed, at, "SLARP code is not 0, 1 or 2");
        return;
    }
    at += 4;
    // Both kinds carry two 32-bit words next: address and mask, or the two sequence numbers.
    // The reliability word and the time of a keepalive and the padding of a request are not
    // shown.
    if (bytes.size() < at + 8) {
        frame.Break(Problem::Malformed, at,
                    code == kSlarpKeepalive ? "SLARP keepalive ends before its sequence numbers"
                                            : "SLARP message ends before its address and mask");
        return;
    }
    if (code == kSlarpKeepalive) {
        frame.Add(FieldId::MySequence, BigEndian32(bytes, at));
        frame.Add(FieldId::YourSequence, BigEndian32(bytes, at + 4));
    } else {
        frame.Add(FieldId::IpAddress, BigEndian32(bytes, at));
        frame.Add(FieldId::IpMask, BigEndian32(bytes, at + 4));
    }
}

}  // namespace

void DecodeCiscoHdlc(std::span<const uint8_t> bytes, DecodedFrame& frame) {
    if (bytes.empty()) {
        frame.Break(Problem::Short, 0, "no address field");
        return;
    }
    frame.Add(FieldId::Address, bytes[0]);
    if (bytes[0] != kUnicast && bytes[0] != kBroadcast) {
        frame.Break(Problem::Malformed, 0, "address is not 0x0F or 0x8F");
        return;
    }
    if (bytes.size() < kHeaderLength) {
        frame.Break(Problem::Short, bytes.size(), "frame ends before its protocol type");
        return;
    }
    if (bytes[1] != 0x00) {
        frame.Break(Problem::Malformed, 1, "control field is not 0x00");
        return;
    }
    const uint16_t protocol = static_cast<uint16_t>((bytes[2] << 8) | bytes[3]);
    frame.Add(FieldId::Protocol, protocol);
    if (protocol == kProtocolSlarp) {
        DecodeSlarp(bytes, kHeaderLength, frame);
    }
}

}  // namespace qorval::analyser::decode
