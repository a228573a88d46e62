// Matching a compiled filter against one frame. A test of a field the frame does not have is
// false, whatever its comparison; a field that occurs more than once (the PVCs of an LMI full
// status) matches when any occurrence does, and "!=" when none equals the value.
#include <algorithm>
#include <array>

#include "analyser/decode/fields.h"
#include "analyser/filter/frame_filter.h"

namespace qorval::analyser {
namespace {

using Subject = FrameFilter::Subject;
using Op = FrameFilter::Op;
using Node = FrameFilter::Node;

bool Compare(Op op, uint64_t value, const Node& test) {
    const auto* first = test.values.data();
    const auto* last = first + test.valueCount;
    switch (op) {
        case Op::Present:
            return true;
        case Op::Equal:
        case Op::NotEqual:  // the caller turns "none equal" into "!="
            return std::find(first, last, value) != last;
        case Op::Less:
            return value < *first;
        case Op::LessEqual:
            return value <= *first;
        case Op::Greater:
            return value > *first;
        case Op::GreaterEqual:
            return value >= *first;
    }
    return false;
}

bool IsFlag(decode::FieldId id) {
    const decode::FieldStyle style = decode::InfoOf(id).style;
    return style == decode::FieldStyle::Flag || style == decode::FieldStyle::PollFinal;
}

bool MatchDecoded(const Node& test, const FrameFacts& facts) {
    if (facts.decoded == nullptr) {
        return false;
    }
    bool present = false;
    bool any = false;
    for (const decode::Field& field : *facts.decoded) {
        // LAPB shows its addresses as stations A and B; "addr" finds them as well.
        const bool same = field.id == test.field ||
                          (test.field == decode::FieldId::Address &&
                           field.id == decode::FieldId::Station);
        if (!same) {
            continue;
        }
        present = true;
        if (test.op == Op::Present) {
            any = any || !IsFlag(test.field) || field.value != 0;
        } else {
            any = any || Compare(test.op, field.value, test);
        }
    }
    return test.op == Op::NotEqual ? present && !any : any;
}

// The value of a capture fact: a number, or 1 and 0 for true and false.
uint64_t CaptureValue(Subject subject, const FrameFacts& facts) {
    const FrameError error = ErrorOf(facts);
    switch (subject) {
        case Subject::Number:
            return facts.number;
        case Subject::Length:
            return facts.length;
        case Subject::Sent:
            return facts.sent;
        case Subject::Received:
            return !facts.sent;
        case Subject::Result:
            return facts.result;
        case Subject::Error:
            return error != FrameError::None;
        case Subject::Crc:
            return error == FrameError::Crc;
        case Subject::Overrun:
            return error == FrameError::Overrun;
        case Subject::Short:
            return error == FrameError::Short;
        case Subject::Malformed:
            return error == FrameError::Malformed;
        case Subject::SendFailed:
            return facts.sendFailed;
        case Subject::Decoded:
            break;
    }
    return 0;
}

bool MatchTest(const Node& test, const FrameFacts& facts) {
    if (test.subject == Subject::Decoded) {
        return MatchDecoded(test, facts);
    }
    const uint64_t value = CaptureValue(test.subject, facts);
    if (test.op == Op::Present) {
        return value != 0;
    }
    const bool equal = Compare(test.op, value, test);
    return test.op == Op::NotEqual ? !equal : equal;
}

}  // namespace

bool FrameFilter::Matches(const FrameFacts& facts) const {
    if (nodes_.empty()) {
        return true;
    }
    // Children precede their parents: one pass in order settles every node.
    std::array<bool, kMaxLength> results;
    for (size_t i = 0; i < nodes_.size(); ++i) {
        const Node& node = nodes_[i];
        switch (node.kind) {
            case Node::Kind::Or:
                results[i] = results[node.left] || results[node.right];
                break;
            case Node::Kind::And:
                results[i] = results[node.left] && results[node.right];
                break;
            case Node::Kind::Not:
                results[i] = !results[node.left];
                break;
            case Node::Kind::Test:
                results[i] = MatchTest(node, facts);
                break;
        }
    }
    return results[nodes_.size() - 1];
}

}  // namespace qorval::analyser
