#include "analyser/decode/frame_kind.h"

#include "analyser/decode/field_values.h"

namespace qorval::analyser::decode {
namespace {

std::string_view LmiKind(uint64_t messageType) {
    switch (messageType) {
        case kMessageStatusEnquiry:
            return "LMI STATUS-ENQ";
        case kMessageStatus:
            return "LMI STATUS";
        default:
            return "LMI";
    }
}

std::string_view SlarpKind(uint64_t code) {
    switch (code) {
        case kSlarpRequest:
            return "SLARP REQUEST";
        case kSlarpReply:
            return "SLARP REPLY";
        case kSlarpKeepalive:
            return "SLARP KEEPALIVE";
        default:
            return "SLARP";
    }
}

}  // namespace

std::string_view FrameKind(const DecodedFrame& frame) {
    if (const std::optional<uint64_t> type = frame.Find(FieldId::FrameType)) {
        return NameOfValue(FieldId::FrameType, *type).value_or("");
    }
    if (frame.Find(FieldId::LmiVariant)) {
        return LmiKind(frame.Find(FieldId::MessageType).value_or(0));
    }
    if (const std::optional<uint64_t> code = frame.Find(FieldId::SlarpCode)) {
        return SlarpKind(*code);
    }
    if (const std::optional<uint64_t> protocol = frame.Find(FieldId::Protocol)) {
        return NameOfValue(FieldId::Protocol, *protocol).value_or("other");
    }
    if (const std::optional<uint64_t> nlpid = frame.Find(FieldId::Nlpid)) {
        return NameOfValue(FieldId::Nlpid, *nlpid).value_or("other");
    }
    if (frame.Find(FieldId::Dlci)) {
        return "data";
    }
    return "";
}

}  // namespace qorval::analyser::decode
