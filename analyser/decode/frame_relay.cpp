// Frame Relay: the Q.922 address (two to four octets), then link management on DLCI 0 or 1023,
// or the protocol the frame carries: an NLPID after a UI control field (multiprotocol
// encapsulation, SNAP included), else an EtherType directly after the address.
#include "analyser/decode/field_values.h"
#include "analyser/decode/link_decoders.h"
#include "analyser/decode/lmi.h"

namespace qorval::analyser::decode {
namespace {

constexpr size_t kMaxAddressOctets = 4;
constexpr uint8_t kUnnumberedInformation = 0x03;
constexpr uint8_t kPadding = 0x00;
constexpr uint8_t kNlpidSnap = 0x80;

struct Q922Address {
    uint32_t dlci = 0;
    size_t length = 0;
};

// The address up to the octet whose EA bit is 1; nullopt when the frame broke.
std::optional<Q922Address> DecodeAddress(std::span<const uint8_t> bytes, DecodedFrame& frame) {
    if (bytes.size() < 2) {
        frame.Break(Problem::Short, bytes.size(), "address shorter than 2 bytes");
        return std::nullopt;
    }
    if (bytes[0] & 0x01) {
        frame.Break(Problem::Malformed, 0, "address ends after its first octet");
        return std::nullopt;
    }
    Q922Address address;
    address.dlci = ((bytes[0] >> 2) & 0x3Fu) << 4 | (bytes[1] >> 4);
    const uint8_t flags = bytes[1];
    address.length = 2;
    // Three- and four-octet addresses lengthen the DLCI: a middle octet by 7 bits, the last by
    // 6 when its D/C bit says it holds DLCI bits.
    while ((bytes[address.length - 1] & 0x01) == 0) {
        if (address.length == kMaxAddressOctets) {
            frame.Break(Problem::Malformed, address.length - 1, "address longer than 4 octets");
            return std::nullopt;
        }
        if (address.length >= bytes.size()) {
            frame.Break(Problem::Short, bytes.size(), "address ends before its EA bit is set");
            return std::nullopt;
        }
        const uint8_t octet = bytes[address.length++];
        if ((octet & 0x01) == 0) {
            address.dlci = address.dlci << 7 | (octet >> 1);
        } else if ((octet & 0x02) == 0) {
            address.dlci = address.dlci << 6 | (octet >> 2);
        }
    }
    frame.Add(FieldId::Dlci, address.dlci);
    frame.Add(FieldId::CrBit, (bytes[0] >> 1) & 0x01);
    frame.Add(FieldId::Fecn, (flags >> 3) & 0x01);
    frame.Add(FieldId::Becn, (flags >> 2) & 0x01);
    frame.Add(FieldId::DiscardEligible, (flags >> 1) & 0x01);
    return address;
}

void DecodePayloadProtocol(std::span<const uint8_t> bytes, size_t at, DecodedFrame& frame) {
    if (at >= bytes.size()) {
        return;
    }
    if (bytes[at] != kUnnumberedInformation) {
        if (bytes.size() < at + 2) {
            frame.Break(Problem::Malformed, at, "protocol type shorter than 2 bytes");
            return;
        }
        frame.Add(FieldId::Protocol, (uint64_t{bytes[at]} << 8) | bytes[at + 1]);
        return;
    }
    ++at;
    if (at < bytes.size() && bytes[at] == kPadding) {
        ++at;
    }
    if (at >= bytes.size()) {
        frame.Break(Problem::Malformed, at, "frame ends before its NLPID");
        return;
    }
    const uint8_t nlpid = bytes[at++];
    frame.Add(FieldId::Nlpid, nlpid);
    if (nlpid != kNlpidSnap) {
        return;
    }
    if (bytes.size() < at + 5) {
        frame.Break(Problem::Malformed, at, "SNAP header shorter than 5 bytes");
        return;
    }
    const uint32_t oui = (uint32_t{bytes[at]} << 16) | (uint32_t{bytes[at + 1]} << 8) | bytes[at + 2];
    frame.Add(FieldId::Oui, oui);
    if (oui == 0) {
        frame.Add(FieldId::Protocol, (uint64_t{bytes[at + 3]} << 8) | bytes[at + 4]);
    }
}

}  // namespace

void DecodeFrameRelay(std::span<const uint8_t> bytes, DecodedFrame& frame) {
    const std::optional<Q922Address> address = DecodeAddress(bytes, frame);
    if (!address) {
        return;
    }
    if ((address->dlci == 0 || address->dlci == 1023) &&
        DecodeLmiMessage(bytes, address->length, address->dlci, frame)) {
        return;
    }
    DecodePayloadProtocol(bytes, address->length, frame);
}

}  // namespace qorval::analyser::decode
