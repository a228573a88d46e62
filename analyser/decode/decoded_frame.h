// What a decoder makes of one frame: its fields in the order they appear on the line, and,
// for a frame that does not hold together, the byte where decoding stopped and why. The
// record is a fixed-size value so that decoding a frame allocates nothing.
#pragma once

#include <array>
#include <cstdint>
#include <optional>
#include <string_view>

#include "analyser/decode/fields.h"

namespace qorval::analyser::decode {

// Why a frame could not be decoded to its end.
enum class Problem : uint8_t {
    None,
    Short,      // the frame ends before its link header (address and control) does
    Malformed,  // a header is whole but a field in it is not what the protocol allows
};

struct Field {
    FieldId id;
    uint64_t value;
};

class DecodedFrame {
  public:
    // Enough for a LAPB frame with an X.25 call set-up or an LMI full status of about twenty
    // PVCs; fields beyond this are counted, not kept.
    static constexpr size_t kMaxFields = 64;

    void Add(FieldId id, uint64_t value);
    // Records where decoding stopped; the fields found before it stay.
    void Break(Problem problem, size_t offset, std::string_view reason);

    const Field* begin() const { return fields_.data(); }
    const Field* end() const { return fields_.data() + count_; }
    size_t size() const { return count_; }
    // Fields found but not kept because the record was full.
    size_t Omitted() const { return omitted_; }
    // The first value of a field, if the frame has it.
    std::optional<uint64_t> Find(FieldId id) const;

    Problem GetProblem() const { return problem_; }
    size_t ProblemOffset() const { return problemOffset_; }
    std::string_view ProblemReason() const { return problemReason_; }

  private:
    std::array<Field, kMaxFields> fields_;
    uint8_t count_ = 0;
    uint16_t omitted_ = 0;
    Problem problem_ = Problem::None;
    uint32_t problemOffset_ = 0;
    std::string_view problemReason_;  // always a string literal
};

}  // namespace qorval::analyser::decode
