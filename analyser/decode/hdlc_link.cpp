// LAPB and SDLC: an address octet followed by the HDLC control field.
#include "analyser/decode/field_values.h"
#include "analyser/decode/link_decoders.h"
#include "analyser/decode/x25_packet.h"

namespace qorval::analyser::decode {
namespace {

constexpr uint8_t kLapbAddressA = 0x03;
constexpr uint8_t kLapbAddressB = 0x01;

// Frame types that may carry an information field.
bool MayCarryInformation(uint64_t type) {
    switch (type) {
        case kTypeI:
        case kTypeUI:
        case kTypeXID:
        case kTypeTEST:
        case kTypeFRMR:
        case kTypeCFGR:
        case kTypeBCN:
            return true;
        default:
            return false;
    }
}

// The address and control field; the offset of the information field, or nullopt when the
// frame broke before it.
std::optional<size_t> DecodeHeader(std::span<const uint8_t> bytes, Modulo modulo,
                                   UnnumberedSet set, DecodedFrame& frame) {
    if (bytes.empty()) {
        frame.Break(Problem::Short, 0, "no address field");
        return std::nullopt;
    }
    // LAPB names its two addresses A and B; a filter's "addr" finds them too.
    const bool station =
        set == UnnumberedSet::Lapb && (bytes[0] == kLapbAddressA || bytes[0] == kLapbAddressB);
    frame.Add(station ? FieldId::Station : FieldId::Address, bytes[0]);
    const std::optional<size_t> information = DecodeControlField(bytes, 1, modulo, set, frame);
    if (!information) {
        return std::nullopt;
    }
    if (*information < bytes.size() && !MayCarryInformation(*frame.Find(FieldId::FrameType))) {
        frame.Break(Problem::Malformed, *information,
                    "information field in a frame type that has none");
        return std::nullopt;
    }
    return information;
}

}  // namespace

void DecodeLapb(std::span<const uint8_t> bytes, Modulo modulo, DecodedFrame& frame) {
    const std::optional<size_t> information =
        DecodeHeader(bytes, modulo, UnnumberedSet::Lapb, frame);
    if (information && frame.Find(FieldId::FrameType) == kTypeI) {
        DecodeX25Packet(bytes, *information, frame);
    }
}

void DecodeSdlc(std::span<const uint8_t> bytes, Modulo modulo, DecodedFrame& frame) {
    (void)DecodeHeader(bytes, modulo, UnnumberedSet::Sdlc, frame);
}

}  // namespace qorval::analyser::decode
