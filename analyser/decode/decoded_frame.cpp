#include "analyser/decode/decoded_frame.h"

namespace qorval::analyser::decode {

void DecodedFrame::Add(FieldId id, uint64_t value) {
    if (count_ == kMaxFields) {
        ++omitted_;
        return;
    }
    fields_[count_++] = Field{id, value};
}

void DecodedFrame::Break(Problem problem, size_t offset, std::string_view reason) {
    // The first break is where decoding stopped; nothing after it is looked at.
    if (problem_ != Problem::None) {
        return;
    }
    problem_ = problem;
    problemOffset_ = static_cast<uint32_t>(offset);
    problemReason_ = reason;
}

std::optional<uint64_t> DecodedFrame::Find(FieldId id) const {
    for (const Field& field : *this) {
        if (field.id == id) {
            return field.value;
        }
    }
    return std::nullopt;
}

}  // namespace qorval::analyser::decode
