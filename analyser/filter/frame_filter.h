// Filter expressions over a frame's decoded fields and its capture facts, such as
//   type == RNR      dlci == 100 && de      ns == 3      len > 512      error
// A filter limits what the analyser shows and logs, and finds frames in the window.
// The grammar is in docs/analyser-decoding.md.
#pragma once

#include <array>
#include <cstdint>
#include <string>
#include <string_view>
#include <variant>
#include <vector>

#include "analyser/filter/frame_facts.h"

namespace qorval::analyser {

struct FilterError {
    size_t column = 0;  // 1-based position in the expression
    std::string message;
    // "column 5: unknown field "foo""
    std::string Text() const;
};

class FrameFilter {
  public:
    // Longest expression and deepest nesting accepted: an expression comes from a person or a
    // command line, and the bound keeps parsing and matching from running out of stack.
    static constexpr size_t kMaxLength = 4096;
    static constexpr size_t kMaxDepth = 64;

    // An empty (or blank) expression matches every frame.
    static std::variant<FrameFilter, FilterError> Parse(std::string_view expression);

    bool Matches(const FrameFacts& facts) const;
    // True when the filter passes every frame (an empty expression).
    bool MatchesAll() const { return nodes_.empty(); }
    const std::string& Expression() const { return expression_; }

    // What a test looks at: a decoded field, or one of the frame's capture facts.
    enum class Subject : uint8_t {
        Decoded,
        Number,
        Length,
        Sent,
        Received,
        Result,
        Error,
        Crc,
        Overrun,
        Short,
        Malformed,
        SendFailed,
    };
    enum class Op : uint8_t { Present, Equal, NotEqual, Less, LessEqual, Greater, GreaterEqual };

    // One piece of the compiled expression; children come before their parent, so the nodes
    // are matched in order without recursion.
    struct Node {
        enum class Kind : uint8_t { Or, And, Not, Test };
        Kind kind = Kind::Test;
        uint16_t left = 0;   // Or, And, Not
        uint16_t right = 0;  // Or, And
        Subject subject = Subject::Decoded;
        decode::FieldId field = decode::FieldId::Address;
        Op op = Op::Present;
        // A name may stand for several values ("DISC" is DISC and SDLC's DISC/RD).
        std::array<uint64_t, 4> values{};
        uint8_t valueCount = 0;
    };

  private:
    friend class FilterParser;

    std::string expression_;
    std::vector<Node> nodes_;  // the root is the last node
};

}  // namespace qorval::analyser
