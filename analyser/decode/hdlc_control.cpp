#include "analyser/decode/hdlc_control.h"

#include "analyser/decode/field_values.h"

namespace qorval::analyser::decode {
namespace {

constexpr uint8_t kPollFinal = 0x10;  // bit 5 of a one-octet control field

// An unnumbered control field without its P/F bit, the frame type it stands for and whether
// it is always a command or always a response (0: either).
struct Unnumbered {
    uint8_t code;
    FrameType type;
    uint8_t commandResponse;
};

constexpr Unnumbered kLapbUnnumbered[] = {
    {0x2F, kTypeSABM, kCommand},  {0x6F, kTypeSABME, kCommand}, {0x43, kTypeDISC, kCommand},
    {0x63, kTypeUA, kResponse},   {0x0F, kTypeDM, kResponse},   {0x87, kTypeFRMR, kResponse},
    {0x03, kTypeUI, 0},           {0xAF, kTypeXID, 0},          {0xE3, kTypeTEST, 0},
};

constexpr Unnumbered kSdlcUnnumbered[] = {
    {0x83, kTypeSNRM, kCommand},  {0xCF, kTypeSNRME, kCommand}, {0x43, kTypeDiscOrRd, 0},
    {0x63, kTypeUA, kResponse},   {0x0F, kTypeDM, kResponse},   {0x87, kTypeFRMR, kResponse},
    {0x03, kTypeUI, 0},           {0xAF, kTypeXID, 0},          {0xE3, kTypeTEST, 0},
    {0x07, kTypeSimOrRim, 0},     {0xC7, kTypeCFGR, 0},         {0xEF, kTypeBCN, kResponse},
    {0x23, kTypeUP, kCommand},
};

constexpr FrameType kSupervisory[] = {kTypeRR, kTypeRNR, kTypeREJ, kTypeSREJ};

const Unnumbered* FindUnnumbered(UnnumberedSet set, uint8_t code) {
    const std::span<const Unnumbered> table =
        set == UnnumberedSet::Lapb ? std::span<const Unnumbered>(kLapbUnnumbered)
                                   : std::span<const Unnumbered>(kSdlcUnnumbered);
    for (const Unnumbered& entry : table) {
        if (entry.code == code) {
            return &entry;
        }
    }
    return nullptr;
}

// The FRMR information field: the rejected frame's control field, V(S), C/R, V(R) and the
// W, X, Y and Z bits, in three octets (modulo 8) or five (modulo 128).
std::optional<size_t> DecodeFrmrInformation(std::span<const uint8_t> bytes, size_t offset,
                                            Modulo modulo, DecodedFrame& frame) {
    const bool extended = modulo == Modulo::OneTwentyEight;
    const size_t length = extended ? 5 : 3;
    if (bytes.size() < offset + length) {
        frame.Break(Problem::Malformed, bytes.size(),
                    extended ? "FRMR information field shorter than 5 bytes"
                             : "FRMR information field shorter than 3 bytes");
        return std::nullopt;
    }
    const uint8_t* info = bytes.data() + offset;
    uint8_t bits = 0;
    if (extended) {
        frame.Add(FieldId::RejectedControl, (uint64_t{info[0]} << 8) | info[1]);
        frame.Add(FieldId::FrmrSendState, info[2] >> 1);
        frame.Add(FieldId::FrmrResponse, info[3] & 0x01);
        frame.Add(FieldId::FrmrReceiveState, info[3] >> 1);
        bits = info[4];
    } else {
        frame.Add(FieldId::RejectedControl, info[0]);
        frame.Add(FieldId::FrmrSendState, (info[1] >> 1) & 0x07);
        frame.Add(FieldId::FrmrResponse, (info[1] >> 4) & 0x01);
        frame.Add(FieldId::FrmrReceiveState, info[1] >> 5);
        bits = info[2];
    }
    frame.Add(FieldId::FrmrW, bits & 0x01);
    frame.Add(FieldId::FrmrX, (bits >> 1) & 0x01);
    frame.Add(FieldId::FrmrY, (bits >> 2) & 0x01);
    frame.Add(FieldId::FrmrZ, (bits >> 3) & 0x01);
    return offset + length;
}

}  // namespace

std::optional<size_t> DecodeControlField(std::span<const uint8_t> bytes, size_t offset,
                                         Modulo modulo, UnnumberedSet set, DecodedFrame& frame) {
    if (bytes.size() <= offset) {
        frame.Break(Problem::Short, offset, "no control field");
        return std::nullopt;
    }
    const uint8_t first = bytes[offset];
    const bool extended = modulo == Modulo::OneTwentyEight;
    // I and supervisory frames: their control field is two octets in modulo 128.
    if ((first & 0x03) != 0x03) {
        if (extended && bytes.size() < offset + 2) {
            frame.Break(Problem::Short, offset + 1, "control field ends after its first octet");
            return std::nullopt;
        }
        const uint8_t second = extended ? bytes[offset + 1] : 0;
        const bool information = (first & 0x01) == 0;
        if (information) {
            // LAPB's I-frames are always commands; an SDLC secondary sends them as responses.
            if (set == UnnumberedSet::Lapb) {
                frame.Add(FieldId::CommandResponse, kCommand);
            }
            frame.Add(FieldId::FrameType, kTypeI);
            frame.Add(FieldId::SendSequence, extended ? first >> 1 : (first >> 1) & 0x07);
        } else {
            frame.Add(FieldId::FrameType, kSupervisory[(first >> 2) & 0x03]);
            if (extended && (first & 0xF0) != 0) {
                frame.Break(Problem::Malformed, offset,
                            "reserved bits of a supervisory control field are not 0");
                return std::nullopt;
            }
        }
        frame.Add(FieldId::ReceiveSequence, extended ? second >> 1 : first >> 5);
        frame.Add(FieldId::PollFinal, extended ? second & 0x01 : (first & kPollFinal) >> 4);
        return offset + (extended ? 2 : 1);
    }
    const Unnumbered* unnumbered = FindUnnumbered(set, first & static_cast<uint8_t>(~kPollFinal));
    if (unnumbered == nullptr) {
        frame.Break(Problem::Malformed, offset, "control field is not a known unnumbered frame");
        return std::nullopt;
    }
    if (unnumbered->commandResponse != 0) {
        frame.Add(FieldId::CommandResponse, unnumbered->commandResponse);
    }
    frame.Add(FieldId::FrameType, unnumbered->type);
    frame.Add(FieldId::PollFinal, (first & kPollFinal) >> 4);
    if (unnumbered->type == kTypeFRMR) {
        return DecodeFrmrInformation(bytes, offset + 1, modulo, frame);
    }
    return offset + 1;
}

}  // namespace qorval::analyser::decode
