#include "analyser/decode/decoded_text.h"

#include <algorithm>
#include <charconv>

#include "analyser/decode/field_values.h"

namespace qorval::analyser::decode {
namespace {

constexpr char kHexDigits[] = "0123456789ABCDEF";

void AppendDecimal(std::string& out, uint64_t value) {
    char text[20];
    const auto result = std::to_chars(text, text + sizeof text, value);
    out.append(text, result.ptr);
}

// At least `digits` upper-case hexadecimal digits, more when the value needs them.
void AppendHex(std::string& out, uint64_t value, unsigned digits) {
    char text[16];
    unsigned used = 0;
    do {
        text[sizeof text - 1 - used++] = kHexDigits[value & 0x0F];
        value >>= 4;
    } while (value != 0 || used < digits);
    out.append(text + sizeof text - used, used);
}

// At least `digits` digits; a field shown in whole octets (an even count) stays in whole
// octets when it needs more (a modulo 128 control field: "010A").
void AppendHexOctets(std::string& out, uint64_t value, unsigned digits) {
    if (digits % 2 == 0) {
        unsigned needed = 0;
        for (uint64_t rest = value; rest != 0; rest >>= 4) {
            ++needed;
        }
        digits = std::max(digits, needed + needed % 2);
    }
    AppendHex(out, value, digits);
}

void AppendDigits(std::string& out, uint64_t packed) {
    for (size_t i = 0; i < DigitCount(packed); ++i) {
        out += static_cast<char>('0' + DigitAt(packed, i));
    }
}

void AppendIpv4(std::string& out, uint64_t address) {
    for (int shift = 24; shift >= 0; shift -= 8) {
        AppendDecimal(out, (address >> shift) & 0xFF);
        if (shift != 0) {
            out += '.';
        }
    }
}

std::string_view PollFinalLabel(const DecodedFrame& frame) {
    const std::optional<uint64_t> commandResponse = frame.Find(FieldId::CommandResponse);
    if (commandResponse == kCommand) {
        return "P";
    }
    if (commandResponse == kResponse) {
        return "F";
    }
    return "P/F";
}

// The value alone, as it follows a field's label.
void AppendValue(std::string& out, const FieldInfo& info, FieldId id, uint64_t value) {
    switch (info.style) {
        case FieldStyle::Decimal:
        case FieldStyle::Spaced:
        case FieldStyle::Flag:
        case FieldStyle::PollFinal:
        case FieldStyle::Tag:
            AppendDecimal(out, value);
            break;
        case FieldStyle::Digits:
            AppendDigits(out, value);
            break;
        case FieldStyle::Ipv4:
            AppendIpv4(out, value);
            break;
        case FieldStyle::Hex:
            AppendHexOctets(out, value, info.hexDigits);
            break;
        case FieldStyle::Name:
        case FieldStyle::LabelName:
            if (const std::optional<std::string_view> name = NameOfValue(id, value)) {
                out += *name;
            } else {
                AppendHex(out, value, 2);
            }
            break;
    }
}

// One field's word(s) on the line; false when the field shows nothing (a flag that is clear).
bool AppendField(std::string& out, const DecodedFrame& frame, const Field& field) {
    const FieldInfo& info = InfoOf(field.id);
    switch (info.style) {
        case FieldStyle::Flag:
            if (field.value == 0) {
                return false;
            }
            out += info.label;
            return true;
        case FieldStyle::PollFinal:
            if (field.value == 0) {
                return false;
            }
            out += PollFinalLabel(frame);
            return true;
        case FieldStyle::Tag:
            out += info.label;
            return true;
        case FieldStyle::Name:
            if (const std::optional<std::string_view> name = NameOfValue(field.id, field.value)) {
                out += *name;
                return true;
            }
            break;
        case FieldStyle::Spaced:
        case FieldStyle::LabelName:
            out += info.label;
            out += ' ';
            AppendValue(out, info, field.id, field.value);
            return true;
        default:
            break;
    }
    out += info.label;
    out += '=';
    AppendValue(out, info, field.id, field.value);
    if (info.style == FieldStyle::Hex) {
        if (const std::optional<std::string_view> name = NameOfValue(field.id, field.value)) {
            out += ' ';
            out += *name;
        }
    }
    return true;
}

// A word follows what is already there after one space.
void Separate(std::string& out) {
    if (!out.empty() && out.back() != ' ') {
        out += ' ';
    }
}

}  // namespace

std::string_view ProblemName(Problem problem) {
    switch (problem) {
        case Problem::Short:
            return "SHORT";
        case Problem::Malformed:
            return "MALFORMED";
        case Problem::None:
            break;
    }
    return "";
}

void AppendDecodedFields(std::string& out, const DecodedFrame& frame) {
    const size_t start = out.size();
    for (const Field& field : frame) {
        Separate(out);
        (void)AppendField(out, frame, field);
    }
    if (frame.Omitted() != 0) {
        Separate(out);
        out += "(+";
        AppendDecimal(out, frame.Omitted());
        out += " more fields)";
    }
    // A clear flag at the end leaves the separator it was given.
    if (out.size() > start && out.back() == ' ') {
        out.pop_back();
    }
}

void AppendDecodedProblem(std::string& out, const DecodedFrame& frame) {
    if (frame.GetProblem() == Problem::None) {
        return;
    }
    Separate(out);
    out += ProblemName(frame.GetProblem());
    out += " at byte ";
    AppendDecimal(out, frame.ProblemOffset());
    out += ": ";
    out += frame.ProblemReason();
}

void AppendDecodedText(std::string& out, const DecodedFrame& frame) {
    AppendDecodedFields(out, frame);
    AppendDecodedProblem(out, frame);
}

std::string FieldValueText(const Field& field) {
    const FieldInfo& info = InfoOf(field.id);
    std::string text;
    AppendValue(text, info, field.id, field.value);
    return text;
}

void AppendHexBytes(std::string& out, std::span<const uint8_t> bytes, size_t maximum) {
    const size_t shown = std::min(bytes.size(), maximum);
    for (size_t i = 0; i < shown; ++i) {
        if (i != 0) {
            out += ' ';
        }
        AppendHex(out, bytes[i], 2);
    }
    if (bytes.size() > shown) {
        out += " ...";
    }
}

}  // namespace qorval::analyser::decode
