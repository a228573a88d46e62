#include "analyser/macro_parser.h"

#include <algorithm>
#include <array>
#include <cctype>
#include <cstdio>
#include <limits>
#include <string_view>

#include "analyser/string_printf.h"
#include "analyser/utf8_text.h"

namespace qorval::analyser {
namespace {

constexpr const char* kLineStatus = "LINE: %d - %s";
constexpr const char* kSyntaxError = "SYNTAX Error on line %d at: %s - Aborting";
constexpr const char* kMissingLabel = "Could not find label: %s. Aborting execution!";

enum class OperandKind {
    Number,     // a number, optionally within [min, max]
    Label,      // any token: the target
    ResetSpec,  // contains R (receive) and/or S (transmit)
    CopySpec,   // exactly "RS" or "SR"
};

struct OperandRule {
    OperandKind kind = OperandKind::Number;
    const char* missing = nullptr;
    const char* invalid = nullptr;
    int32_t min = std::numeric_limits<int32_t>::min();
    int32_t max = std::numeric_limits<int32_t>::max();
};

struct StatementRule {
    std::string_view keyword;
    uint16_t opcode;
    std::array<OperandRule, 3> operands;
    size_t operandCount;
};

constexpr OperandRule Count(const char* missing, const char* invalid) {
    return {OperandKind::Number, missing, invalid};
}

constexpr OperandRule kIfOffset{OperandKind::Number,
                                "IF: Missing buffer offset on line %d at: %s - Aborting",
                                "IF: Invalid buffer offset on line %d at: %s - Aborting"};
constexpr OperandRule kIfValue{OperandKind::Number,
                               "IF: Missing compare value on line %d at: %s - Aborting",
                               "IF: Invalid compare value on line %d at: %s - Aborting", 0, 255};
constexpr OperandRule kIfTarget{OperandKind::Label,
                                "IF: Missing target on line %d at: %s - Aborting"};

constexpr StatementRule IfRule(std::string_view keyword, uint16_t opcode) {
    return {keyword, opcode, {kIfOffset, kIfValue, kIfTarget}, 3};
}

const std::array<StatementRule, 18> kStatements = {{
    {"STOP", kOpStop, {}, 0},
    {"GET",
     kOpGet,
     {Count("GET: Missing count on line %d at: %s - Aborting",
            "GET: Invalid count on line %d at: %s - Aborting")},
     1},
    {"SEND",
     kOpSend,
     {Count("SEND: Missing count on line %d at: %s - Aborting",
            "SEND: Invalid count on line %d at: %s - Aborting")},
     1},
    {"SKIP",
     kOpSkip,
     {Count("SKIP: Missing count on line %d at: %s - Aborting",
            "SKIP: Invalid count on line %d at: %s - Aborting")},
     1},
    IfRule("IF", kOpIfEqual),
    IfRule("IFE", kOpIfEqual),
    IfRule("IFNE", kOpIfNotEqual),
    IfRule("IFLT", kOpIfLess),
    IfRule("IFGT", kOpIfGreater),
    IfRule("IFLE", kOpIfLessOrEqual),
    IfRule("IFGE", kOpIfGreaterOrEqual),
    {"GOTO",
     kOpGoto,
     {OperandRule{OperandKind::Label, "GOTO: Missing target on line %d at: %s - Aborting"}},
     1},
    {"RESETB",
     kOpResetBuffers,
     {OperandRule{OperandKind::ResetSpec,
                  "RESETB: Missing buffer specification on line %d at: %s - Aborting",
                  "RESETB: Invalid buffer specification on line %d at: %s - Aborting"}},
     1},
    {"XMITCC",
     kOpTransmitCommChar,
     {OperandRule{OperandKind::Number, "XMITCC: Missing character on line %d at: %s - Aborting",
                  "XMITCC: Invalid character on line %d at: %s - Aborting", 0, 255}},
     1},
    {"SETMODEM",
     kOpSetModem,
     {Count("SETMODEM: Missing control mask on line %d at: %s - Aborting",
            "SETMODEM: Invalid control mask on line %d at: %s - Aborting"),
      Count("SETMODEM: Missing control values on line %d at: %s - Aborting",
            "SETMODEM: Invalid control values on line %d at: %s - Aborting")},
     2},
    {"SETPORT",
     kOpSetPort,
     {OperandRule{OperandKind::Number,
                  "SETPORT: Missing state variable specification on line %d at: %s - Aborting",
                  "SETPORT: Invalid state variable specification on line %d at: %s - Aborting", 1,
                  12},
      Count("SETPORT: Missing state value on line %d at: %s - Aborting",
            "SETPORT: Invalid state value on line %d at: %s - Aborting")},
     2},
    {"SETNODE",
     kOpSetNode,
     {OperandRule{OperandKind::Number, "SETNODE: Missing node address on line %d at: %s - Aborting",
                  "SETNODE: Invalid node address on line %d at: %s - Aborting", 0, 255}},
     1},
    {"COPY",
     kOpCopy,
     {OperandRule{OperandKind::CopySpec,
                  "COPY: Missing buffer specification on line %d at: %s - Aborting",
                  "COPY: Invalid buffer specification on line %d at: %s - Aborting"}},
     1},
}};

// A line, token or label shown in a message is cut to this many bytes and marked with "...",
// so a megabyte line gives a message that fits a message box and a status bar.
constexpr size_t kShownTextLimit = 80;
constexpr std::string_view kCutMark = "...";

bool IsSeparator(char c) {
    return c == ' ' || c == '\t' || c == ';' || c == '\n';
}

// `text` as a message shows it: whole when short, else its start (never cutting a UTF-8
// sequence in two) and the cut mark.
std::string Shown(const std::string& text) {
    if (text.size() <= kShownTextLimit) {
        return text;
    }
    return CutAtCharacter(text, kShownTextLimit) + std::string(kCutMark);
}

std::string LineError(const char* format, int lineNumber, const std::string& token) {
    return StringPrintf(format, lineNumber, Shown(token).c_str());
}

// Checks one operand token and gives its value (for labels: 0) or the diagnostic.
struct OperandValue {
    int32_t value = 0;
    std::string error;
};

OperandValue ReadOperand(const OperandRule& rule, const std::string& token, int lineNumber) {
    if (token.empty()) {
        return {0, LineError(rule.missing, lineNumber, token)};
    }
    switch (rule.kind) {
        case OperandKind::Label:
            return {0, {}};
        case OperandKind::ResetSpec: {
            int32_t mask = 0;
            if (token.find('R') != std::string::npos) {
                mask |= 1;
            }
            if (token.find('S') != std::string::npos) {
                mask |= 2;
            }
            if (mask == 0) {
                return {0, LineError(rule.invalid, lineNumber, token)};
            }
            return {mask, {}};
        }
        case OperandKind::CopySpec:
            if (token == "RS") {
                return {kCopyReceiveToTransmit, {}};
            }
            if (token == "SR") {
                return {kCopyTransmitToReceive, {}};
            }
            return {0, LineError(rule.invalid, lineNumber, token)};
        case OperandKind::Number: {
            const auto number = ParseMacroNumber(token);
            if (!number || *number < rule.min || *number > rule.max) {
                return {0, LineError(rule.invalid, lineNumber, token)};
            }
            return {*number, {}};
        }
    }
    return {0, {}};
}

const StatementRule* FindStatement(const std::string& keyword) {
    const auto found =
        std::find_if(kStatements.begin(), kStatements.end(),
                     [&](const StatementRule& rule) { return rule.keyword == keyword; });
    return found == kStatements.end() ? nullptr : &*found;
}

// Fills `step` from the operands of one statement; the error text when an operand fails.
std::string ReadStatement(const StatementRule& rule, std::string& line, int lineNumber,
                          MacroStep& step) {
    step.opcode = rule.opcode;
    step.operand1 = 0;
    step.operand2 = 0;
    int numbersRead = 0;
    for (size_t i = 0; i < rule.operandCount; ++i) {
        const std::string token = NextToken(line);
        const OperandValue operand = ReadOperand(rule.operands[i], token, lineNumber);
        if (!operand.error.empty()) {
            return operand.error;
        }
        if (rule.operands[i].kind == OperandKind::Label) {
            step.target = token;
        } else {
            // Stored in 16 bits, as the step's fields are.
            (numbersRead++ == 0 ? step.operand1 : step.operand2) =
                static_cast<int16_t>(static_cast<uint16_t>(operand.value));
        }
    }
    return {};
}

MacroParseResult Failure(std::string error) {
    return {false, {}, std::move(error)};
}

}  // namespace

std::string NextToken(std::string& line) {
    size_t start = 0;
    bool comment = false;
    while (start < line.size() && IsSeparator(line[start])) {
        comment = comment || line[start] == ';';
        ++start;
    }
    if (comment) {
        line.clear();
        return {};
    }
    size_t end = start;
    while (end < line.size() && !IsSeparator(line[end])) {
        ++end;
    }
    std::string token = line.substr(start, end - start);
    line.erase(0, end);
    return token;
}

std::optional<int32_t> ParseMacroNumber(const std::string& token) {
    size_t i = 0;
    bool negative = false;
    if (i < token.size() && (token[i] == '+' || token[i] == '-')) {
        negative = token[i] == '-';
        ++i;
    }
    if (i >= token.size() || !std::isdigit(static_cast<unsigned char>(token[i]))) {
        return std::nullopt;
    }
    int64_t value = 0;
    constexpr int64_t kLimit = int64_t{std::numeric_limits<int32_t>::max()} + 1;
    for (; i < token.size() && std::isdigit(static_cast<unsigned char>(token[i])); ++i) {
        value = std::min(value * 10 + (token[i] - '0'), kLimit);
    }
    value = negative ? -value : value;
    return static_cast<int32_t>(std::clamp<int64_t>(value, std::numeric_limits<int32_t>::min(),
                                                    std::numeric_limits<int32_t>::max()));
}

MacroParseResult ParseMacro(const std::function<std::optional<std::string>()>& nextLine,
                            const std::function<void(const std::string&)>& status) {
    MacroParseResult result;
    MacroStep pending;
    int lineNumber = 0;
    while (auto read = nextLine()) {
        ++lineNumber;
        status(StringPrintf(kLineStatus, lineNumber, Shown(*read).c_str()));
        std::string line = std::move(*read);
        std::transform(line.begin(), line.end(), line.begin(),
                       [](unsigned char c) { return static_cast<char>(std::toupper(c)); });
        std::string token = NextToken(line);
        if (token.empty()) {
            continue;
        }
        if (token.back() == ':') {
            pending.label = token.substr(0, token.find(':'));
            token = NextToken(line);
            if (token.empty()) {
                continue;
            }
        }
        const StatementRule* rule = FindStatement(token);
        if (rule == nullptr) {
            return Failure(LineError(kSyntaxError, lineNumber, token));
        }
        if (std::string error = ReadStatement(*rule, line, lineNumber, pending); !error.empty()) {
            return Failure(std::move(error));
        }
        result.steps.push_back(std::move(pending));
        pending = MacroStep{};
    }
    if (pending.opcode == kOpUnfilled) {
        pending.opcode = kOpStop;
        pending.operand1 = 0;
        pending.operand2 = 0;
    }
    result.steps.push_back(std::move(pending));

    for (MacroStep& step : result.steps) {
        if (step.target.empty()) {
            continue;
        }
        const auto named = std::find_if(result.steps.begin(), result.steps.end(),
                                        [&](const MacroStep& s) { return s.label == step.target; });
        if (named == result.steps.end()) {
            return Failure(StringPrintf(kMissingLabel, Shown(step.target).c_str()));
        }
        step.targetIndex = static_cast<int32_t>(named - result.steps.begin());
    }
    result.ok = true;
    return result;
}

}  // namespace qorval::analyser
