// The filter grammar, lowest precedence first:
//   expression := and { ("||" | "or") and }
//   and        := unary { ("&&" | "and") unary }
//   unary      := ("!" | "not") unary | "(" expression ")" | test
//   test       := field [ ("==" | "=" | "!=" | "<" | "<=" | ">" | ">=") value ]
//   value      := number (decimal or 0x hexadecimal) | dotted quad | name | "quoted text"
// Field names, value names and the words and, or, not are matched without regard to case.
#include <algorithm>
#include <cctype>
#include <charconv>
#include <optional>

#include "analyser/decode/fields.h"
#include "analyser/filter/frame_filter.h"

namespace qorval::analyser {
namespace {

using Subject = FrameFilter::Subject;
using Op = FrameFilter::Op;
using Node = FrameFilter::Node;

struct CaptureField {
    std::string_view name;
    Subject subject;
    bool flag;  // true or false rather than a number
};

constexpr CaptureField kCaptureFields[] = {
    {"no", Subject::Number, false},      {"len", Subject::Length, false},
    {"sent", Subject::Sent, true},       {"received", Subject::Received, true},
    {"result", Subject::Result, false},  {"error", Subject::Error, true},
    {"crc", Subject::Crc, true},         {"overrun", Subject::Overrun, true},
    {"short", Subject::Short, true},     {"malformed", Subject::Malformed, true},
    {"failed", Subject::SendFailed, true},
};

bool SameWord(std::string_view a, std::string_view b) {
    return a.size() == b.size() && std::equal(a.begin(), a.end(), b.begin(), [](char x, char y) {
               return std::tolower(static_cast<unsigned char>(x)) ==
                      std::tolower(static_cast<unsigned char>(y));
           });
}

bool IsWordStart(char c) {
    return std::isalpha(static_cast<unsigned char>(c)) || c == '_';
}

bool IsWordChar(char c) {
    return std::isalnum(static_cast<unsigned char>(c)) || c == '_' || c == '-' || c == '.' ||
           c == '/';
}

struct Token {
    enum class Kind { End, LeftParen, RightParen, And, Or, Not, Compare, Number, Word, Text };
    Kind kind = Kind::End;
    size_t column = 0;
    std::string_view text;  // the token as written (a Text without its quotes)
    Op op = Op::Equal;      // Compare
    uint64_t number = 0;    // Number (a dotted quad is one 32-bit number)
};

}  // namespace

class FilterParser {
  public:
    explicit FilterParser(std::string_view text) : text_(text) {}

    std::variant<FrameFilter, FilterError> Run() {
        FrameFilter filter;
        filter.expression_ = std::string(text_);
        if (text_.size() > FrameFilter::kMaxLength) {
            return FilterError{FrameFilter::kMaxLength + 1, "expression longer than 4096 characters"};
        }
        if (!Next()) {
            return error_;
        }
        if (token_.kind == Token::Kind::End) {
            return filter;  // an empty filter passes everything
        }
        if (!ParseOr(0) || !Expect(Token::Kind::End, "expected && or || or the end")) {
            return error_;
        }
        // Every node takes at least one character, so this holds; matching relies on it.
        if (nodes_.size() > FrameFilter::kMaxLength) {
            return FilterError{1, "expression too large"};
        }
        filter.nodes_ = std::move(nodes_);
        return filter;
    }

  private:
    bool Fail(size_t column, std::string message) {
        if (error_.message.empty()) {
            error_ = FilterError{column, std::move(message)};
        }
        return false;
    }

    bool Expect(Token::Kind kind, const char* message) {
        return token_.kind == kind ? true : Fail(token_.column, message);
    }

    // --- Tokens ---

    bool Next() {
        while (at_ < text_.size() && std::isspace(static_cast<unsigned char>(text_[at_]))) {
            ++at_;
        }
        token_ = Token{};
        token_.column = at_ + 1;
        if (at_ >= text_.size()) {
            return true;
        }
        const char c = text_[at_];
        const char following = at_ + 1 < text_.size() ? text_[at_ + 1] : '\0';
        auto symbol = [&](Token::Kind kind, size_t length, Op op = Op::Equal) {
            token_.kind = kind;
            token_.op = op;
            token_.text = text_.substr(at_, length);
            at_ += length;
            return true;
        };
        switch (c) {
            case '(':
                return symbol(Token::Kind::LeftParen, 1);
            case ')':
                return symbol(Token::Kind::RightParen, 1);
            case '&':
                return following == '&' ? symbol(Token::Kind::And, 2)
                                         : Fail(token_.column, "expected &&");
            case '|':
                return following == '|' ? symbol(Token::Kind::Or, 2)
                                        : Fail(token_.column, "expected ||");
            case '!':
                return following == '=' ? symbol(Token::Kind::Compare, 2, Op::NotEqual)
                                        : symbol(Token::Kind::Not, 1);
            case '=':
                return following == '=' ? symbol(Token::Kind::Compare, 2, Op::Equal)
                                        : symbol(Token::Kind::Compare, 1, Op::Equal);
            case '<':
                return following == '=' ? symbol(Token::Kind::Compare, 2, Op::LessEqual)
                                        : symbol(Token::Kind::Compare, 1, Op::Less);
            case '>':
                return following == '=' ? symbol(Token::Kind::Compare, 2, Op::GreaterEqual)
                                        : symbol(Token::Kind::Compare, 1, Op::Greater);
            case '"':
                return QuotedText();
            default:
                break;
        }
        if (std::isdigit(static_cast<unsigned char>(c))) {
            return NumberToken();
        }
        if (IsWordStart(c)) {
            const size_t start = at_;
            while (at_ < text_.size() && IsWordChar(text_[at_])) {
                ++at_;
            }
            token_.text = text_.substr(start, at_ - start);
            token_.kind = Token::Kind::Word;
            if (SameWord(token_.text, "and")) {
                token_.kind = Token::Kind::And;
            } else if (SameWord(token_.text, "or")) {
                token_.kind = Token::Kind::Or;
            } else if (SameWord(token_.text, "not")) {
                token_.kind = Token::Kind::Not;
            }
            return true;
        }
        return Fail(token_.column, std::string("unexpected character '") + c + "'");
    }

    bool QuotedText() {
        const size_t end = text_.find('"', at_ + 1);
        if (end == std::string_view::npos) {
            return Fail(token_.column, "quoted text without its closing quote");
        }
        token_.kind = Token::Kind::Text;
        token_.text = text_.substr(at_ + 1, end - at_ - 1);
        at_ = end + 1;
        return true;
    }

    // A decimal or 0x hexadecimal number, or an IPv4 address written as a dotted quad.
    bool NumberToken() {
        const size_t start = at_;
        while (at_ < text_.size() && IsWordChar(text_[at_])) {
            ++at_;
        }
        token_.text = text_.substr(start, at_ - start);
        token_.kind = Token::Kind::Number;
        const std::string_view text = token_.text;
        if (text.find('.') != std::string_view::npos) {
            uint64_t address = 0;
            size_t parts = 0;
            size_t from = 0;
            while (from <= text.size()) {
                const size_t dot = std::min(text.find('.', from), text.size());
                unsigned part = 0;
                const auto [end, error] = std::from_chars(text.data() + from, text.data() + dot, part);
                if (error != std::errc{} || end != text.data() + dot || part > 255 || ++parts > 4) {
                    return Fail(token_.column, "invalid address " + std::string(text));
                }
                address = address << 8 | part;
                from = dot + 1;
            }
            if (parts != 4) {
                return Fail(token_.column, "invalid address " + std::string(text));
            }
            token_.number = address;
            return true;
        }
        const bool hex = text.size() > 2 && text[0] == '0' && (text[1] == 'x' || text[1] == 'X');
        const char* first = text.data() + (hex ? 2 : 0);
        const auto [end, error] =
            std::from_chars(first, text.data() + text.size(), token_.number, hex ? 16 : 10);
        if (error == std::errc::result_out_of_range) {
            return Fail(token_.column, "number too large: " + std::string(text));
        }
        if (error != std::errc{} || end != text.data() + text.size()) {
            return Fail(token_.column, "invalid number " + std::string(text));
        }
        return true;
    }

    // --- Grammar ---

    uint16_t Add(Node node) {
        nodes_.push_back(node);
        return static_cast<uint16_t>(nodes_.size() - 1);
    }

    bool ParseOr(size_t depth) {
        if (!ParseAnd(depth)) {
            return false;
        }
        while (token_.kind == Token::Kind::Or) {
            const uint16_t left = static_cast<uint16_t>(nodes_.size() - 1);
            if (!Next() || !ParseAnd(depth)) {
                return false;
            }
            Add(Node{.kind = Node::Kind::Or, .left = left,
                     .right = static_cast<uint16_t>(nodes_.size() - 1)});
        }
        return true;
    }

    bool ParseAnd(size_t depth) {
        if (!ParseUnary(depth)) {
            return false;
        }
        while (token_.kind == Token::Kind::And) {
            const uint16_t left = static_cast<uint16_t>(nodes_.size() - 1);
            if (!Next() || !ParseUnary(depth)) {
                return false;
            }
            Add(Node{.kind = Node::Kind::And, .left = left,
                     .right = static_cast<uint16_t>(nodes_.size() - 1)});
        }
        return true;
    }

    bool ParseUnary(size_t depth) {
        if (depth >= FrameFilter::kMaxDepth) {
            return Fail(token_.column, "expression nested too deeply");
        }
        switch (token_.kind) {
            case Token::Kind::Not:
                if (!Next() || !ParseUnary(depth + 1)) {
                    return false;
                }
                Add(Node{.kind = Node::Kind::Not,
                         .left = static_cast<uint16_t>(nodes_.size() - 1)});
                return true;
            case Token::Kind::LeftParen:
                return Next() && ParseOr(depth + 1) &&
                       Expect(Token::Kind::RightParen, "expected )") && Next();
            case Token::Kind::Word:
                return ParseTest();
            case Token::Kind::End:
                return Fail(token_.column, "expression ends where a field was expected");
            default:
                return Fail(token_.column, "expected a field name, ! or (");
        }
    }

    bool ParseTest() {
        Node test{.kind = Node::Kind::Test};
        const Token name = token_;
        bool flag = false;
        bool named = false;
        const CaptureField* capture = nullptr;
        for (const CaptureField& field : kCaptureFields) {
            if (SameWord(field.name, name.text)) {
                capture = &field;
            }
        }
        if (capture != nullptr) {
            test.subject = capture->subject;
            flag = capture->flag;
        } else if (const std::optional<decode::FieldId> field =
                       decode::FieldByFilterName(name.text)) {
            test.field = *field;
            const decode::FieldInfo& info = decode::InfoOf(*field);
            flag = info.style == decode::FieldStyle::Flag ||
                   info.style == decode::FieldStyle::PollFinal;
            named = !info.names.empty() || info.style == decode::FieldStyle::Digits;
        } else {
            return Fail(name.column, "unknown field " + std::string(name.text));
        }
        if (!Next()) {
            return false;
        }
        if (token_.kind != Token::Kind::Compare) {
            Add(test);  // a field alone: present (and, for a flag, set)
            return true;
        }
        test.op = token_.op;
        if (!Next()) {
            return false;
        }
        const Token value = token_;
        switch (value.kind) {
            case Token::Kind::Number:
                if (capture == nullptr &&
                    decode::InfoOf(test.field).style == decode::FieldStyle::Digits) {
                    if (!DigitsValue(value, test)) {
                        return false;
                    }
                } else {
                    test.values[test.valueCount++] = value.number;
                }
                break;
            case Token::Kind::Word:
            case Token::Kind::Text:
                if (capture != nullptr || !named) {
                    return Fail(value.column, std::string(name.text) + " compares with a number, not " +
                                                  std::string(value.text));
                }
                if (!NamedValue(value, test)) {
                    return false;
                }
                break;
            default:
                return Fail(value.column, "expected a value after the comparison");
        }
        const bool ordering = test.op != Op::Equal && test.op != Op::NotEqual;
        if (ordering && (flag || value.kind != Token::Kind::Number ||
                         (capture == nullptr && decode::InfoOf(test.field).style ==
                                                    decode::FieldStyle::Digits))) {
            return Fail(value.column, std::string(name.text) + " compares with == and != only");
        }
        Add(test);
        return Next();
    }

    // An X.121 address: its digits as written.
    bool DigitsValue(const Token& value, Node& test) {
        std::vector<uint8_t> digits;
        for (char c : value.text) {
            if (!std::isdigit(static_cast<unsigned char>(c)) || digits.size() == 15) {
                return Fail(value.column, "an address is up to 15 digits: " + std::string(value.text));
            }
            digits.push_back(static_cast<uint8_t>(c - '0'));
        }
        test.values[test.valueCount++] = decode::PackDigits(digits);
        return true;
    }

    bool NamedValue(const Token& value, Node& test) {
        const decode::FieldInfo& info = decode::InfoOf(test.field);
        if (info.style == decode::FieldStyle::Digits) {
            return DigitsValue(value, test);
        }
        for (const decode::ValueName& entry : info.names) {
            if (SameWord(entry.name, value.text) && test.valueCount < test.values.size() &&
                std::find(test.values.begin(), test.values.begin() + test.valueCount,
                          entry.value) == test.values.begin() + test.valueCount) {
                test.values[test.valueCount++] = entry.value;
            }
        }
        if (test.valueCount == 0) {
            return Fail(value.column, std::string(info.filterName) + " has no value named " +
                                          std::string(value.text));
        }
        return true;
    }

    std::string_view text_;
    size_t at_ = 0;
    Token token_;
    std::vector<Node> nodes_;
    FilterError error_;
};

std::string FilterError::Text() const {
    return "column " + std::to_string(column) + ": " + message;
}

std::variant<FrameFilter, FilterError> FrameFilter::Parse(std::string_view expression) {
    return FilterParser(expression).Run();
}

}  // namespace qorval::analyser
