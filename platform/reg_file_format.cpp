#include "platform/reg_file_format.h"

#include <cstdio>

#include "platform/reg_key_path.h"
#include "platform/text_util.h"

namespace qorval::platform {
namespace {

constexpr std::string_view kHeader = "REGEDIT4";
constexpr std::string_view kUtf8Bom = "\xEF\xBB\xBF";
constexpr std::string_view kLineEnd = "\r\n";
// Hex lists are wrapped so that no written line is longer than this.
constexpr size_t kHexLineWidth = 79;

constexpr std::string_view kErrNulByte = "zero byte in the file";
constexpr std::string_view kErrHeader = "missing REGEDIT4 header";
constexpr std::string_view kErrNoLineEnd = "truncated: the last line has no line end";
constexpr std::string_view kErrBadLine = "bad line";
constexpr std::string_view kErrBadKeyLine = "bad key line";
constexpr std::string_view kErrKeyDeletion = "key deletion lines are not supported";
constexpr std::string_view kErrOutsideHklm = "key outside HKEY_LOCAL_MACHINE";
constexpr std::string_view kErrValueOutsideKey = "value outside a key";
constexpr std::string_view kErrExpectedEquals = "expected '=' after the value name";
constexpr std::string_view kErrBadEscape = "bad escape";
constexpr std::string_view kErrUnterminated = "unterminated string";
constexpr std::string_view kErrTrailingText = "unexpected text after the value";
constexpr std::string_view kErrValueDeletion = "value deletion is not supported";
constexpr std::string_view kErrBadDword = "bad dword";
constexpr std::string_view kErrBadType = "bad value type";
constexpr std::string_view kErrBadData = "bad value data";
constexpr std::string_view kErrBadHex = "bad hex digit";
constexpr std::string_view kErrTruncatedHex = "truncated: the file ends inside a continued value";
constexpr std::string_view kErrValueTooLarge = "value larger than 1 MiB";

std::string_view TrimLeft(std::string_view s) {
    return TrimBlanksLeft(s);
}
std::string_view TrimRight(std::string_view s) {
    return TrimBlanksRight(s);
}

int HexDigit(char c) {
    if (c >= '0' && c <= '9')
        return c - '0';
    if (c >= 'a' && c <= 'f')
        return c - 'a' + 10;
    if (c >= 'A' && c <= 'F')
        return c - 'A' + 10;
    return -1;
}

// Takes up to `max_digits` hex digits from the front of `s` into `out`; returns how many.
size_t TakeHex(std::string_view& s, size_t max_digits, uint32_t& out) {
    size_t n = 0;
    out = 0;
    while (n < s.size() && n < max_digits && HexDigit(s[n]) >= 0) {
        out = out * 16 + static_cast<uint32_t>(HexDigit(s[n]));
        ++n;
    }
    s.remove_prefix(n);
    return n;
}

bool StartsWithNoCase(std::string_view s, std::string_view prefix) {
    return s.size() >= prefix.size() && RegNamesEqual(s.substr(0, prefix.size()), prefix);
}

bool IsTextType(uint32_t type) {
    return type == REG_SZ || type == REG_EXPAND_SZ;
}

class Parser {
  public:
    Parser(std::string_view text, RegKey& root) : text_(text), root_(root) {}

    bool Run(RegParseError& error) {
        if (!CheckNoNulBytes() || !ParseHeader()) {
            error = error_;
            return false;
        }
        std::string_view line;
        while (NextLine(line)) {
            if (!ParseLine(TrimLeft(line)) || !CheckLineEnd(line)) {
                error = error_;
                return false;
            }
        }
        return true;
    }

  private:
    bool Fail(std::string_view what) {
        error_.line = line_no_;
        error_.what = std::string(what);
        return false;
    }

    bool CheckNoNulBytes() {
        const size_t nul = text_.find('\0');
        if (nul == std::string_view::npos) {
            return true;
        }
        line_no_ = 1;
        for (size_t i = 0; i < nul; ++i) {
            line_no_ += text_[i] == '\n' ? 1 : 0;
        }
        return Fail(kErrNulByte);
    }

    // Yields the next physical line without its line end and trailing blanks.
    bool NextLine(std::string_view& line) {
        if (pos_ >= text_.size()) {
            return false;
        }
        const size_t end = text_.find('\n', pos_);
        had_line_end_ = end != std::string_view::npos;
        line = text_.substr(pos_, had_line_end_ ? end - pos_ : std::string_view::npos);
        pos_ = had_line_end_ ? end + 1 : text_.size();
        if (!line.empty() && line.back() == '\r') {
            line.remove_suffix(1);
        }
        line = TrimRight(line);
        ++line_no_;
        return true;
    }

    // A file we wrote always ends with a line end; a last line without one was cut short.
    bool CheckLineEnd(std::string_view line) {
        return had_line_end_ || TrimLeft(line).empty() || Fail(kErrNoLineEnd);
    }

    bool ParseHeader() {
        std::string_view line;
        if (!NextLine(line)) {
            line_no_ = 1;
            return Fail(kErrHeader);
        }
        if (line.substr(0, kUtf8Bom.size()) == kUtf8Bom) {
            line.remove_prefix(kUtf8Bom.size());
        }
        if (TrimLeft(line) != kHeader) {
            return Fail(kErrHeader);
        }
        return CheckLineEnd(line);
    }

    bool ParseLine(std::string_view line) {
        if (line.empty() || line.front() == ';') {
            return true;
        }
        if (line.front() == '[') {
            return ParseKeyLine(line);
        }
        if (line.front() == '"' || line.front() == '@') {
            return ParseValueLine(line);
        }
        return Fail(kErrBadLine);
    }

    bool ParseKeyLine(std::string_view line) {
        if (line.size() < 2 || line.back() != ']') {
            return Fail(kErrBadKeyLine);
        }
        std::string_view path = line.substr(1, line.size() - 2);
        if (!path.empty() && path.front() == '-') {
            return Fail(kErrKeyDeletion);
        }
        if (!StartsWithNoCase(path, kHklmRootName)) {
            return Fail(kErrOutsideHklm);
        }
        path.remove_prefix(kHklmRootName.size());
        if (!path.empty() && path.front() != '\\') {
            return Fail(kErrOutsideHklm);
        }
        if (!path.empty()) {
            path.remove_prefix(1);
        }
        std::vector<std::string_view> names;
        std::string problem;
        if (!SplitRelativeKeyPath(path, names, problem)) {
            return Fail(problem);
        }
        RegKey* key = &root_;
        for (auto name : names) {
            key = &AddSubkey(*key, name);
        }
        current_ = key;
        return true;
    }

    // Reads a quoted string with the escapes \\ and \" from the front of `s`.
    bool TakeQuoted(std::string_view& s, std::string& out) {
        out.clear();
        size_t i = 1;  // s[0] is the opening quote
        while (i < s.size()) {
            const char c = s[i];
            if (c == '"') {
                s.remove_prefix(i + 1);
                return true;
            }
            if (c == '\\') {
                if (i + 1 >= s.size()) {
                    return Fail(kErrUnterminated);
                }
                if (s[i + 1] != '\\' && s[i + 1] != '"') {
                    return Fail(kErrBadEscape);
                }
                out.push_back(s[i + 1]);
                i += 2;
                continue;
            }
            out.push_back(c);
            ++i;
        }
        return Fail(kErrUnterminated);
    }

    bool ParseValueLine(std::string_view line) {
        RegValue value;
        if (line.front() == '@') {
            line.remove_prefix(1);
        } else if (!TakeQuoted(line, value.name)) {
            return false;
        }
        if (auto problem = ValueNameProblem(value.name)) {
            return Fail(*problem);
        }
        line = TrimLeft(line);
        if (line.empty() || line.front() != '=') {
            return Fail(kErrExpectedEquals);
        }
        line = TrimLeft(line.substr(1));
        if (current_ == nullptr) {
            return Fail(kErrValueOutsideKey);
        }
        if (!ParseData(line, value)) {
            return false;
        }
        PutValue(*current_, std::move(value));
        return true;
    }

    bool ParseData(std::string_view s, RegValue& value) {
        if (!s.empty() && s.front() == '"') {
            std::string text;
            if (!TakeQuoted(s, text)) {
                return false;
            }
            if (!TrimLeft(s).empty()) {
                return Fail(kErrTrailingText);
            }
            value.type = REG_SZ;
            value.data.assign(text.begin(), text.end());
            return CheckSize(value);
        }
        if (!s.empty() && s.front() == '-') {
            return Fail(kErrValueDeletion);
        }
        if (StartsWithNoCase(s, "dword:")) {
            s.remove_prefix(6);
            uint32_t number = 0;
            if (TakeHex(s, 8, number) == 0 || !TrimLeft(s).empty()) {
                return Fail(kErrBadDword);
            }
            value.type = REG_DWORD;
            for (int i = 0; i < 4; ++i) {
                value.data.push_back(static_cast<uint8_t>(number >> (8 * i)));
            }
            return true;
        }
        if (StartsWithNoCase(s, "hex:")) {
            value.type = REG_BINARY;
            return ParseHexList(s.substr(4), value);
        }
        if (StartsWithNoCase(s, "hex(")) {
            s.remove_prefix(4);
            if (TakeHex(s, 8, value.type) == 0 || s.size() < 2 || s.substr(0, 2) != "):") {
                return Fail(kErrBadType);
            }
            if (!ParseHexList(s.substr(2), value)) {
                return false;
            }
            // Text types written as hex carry their terminating zero, as Windows writes them.
            if (IsTextType(value.type) && !value.data.empty() && value.data.back() == 0) {
                value.data.pop_back();
            }
            return true;
        }
        return Fail(kErrBadData);
    }

    bool CheckSize(const RegValue& value) {
        return value.data.size() <= kMaxRegValueSize || Fail(kErrValueTooLarge);
    }

    // Comma-separated hex bytes; a backslash at the end of a line continues the list on the
    // next line.
    bool ParseHexList(std::string_view s, RegValue& value) {
        while (true) {
            s = TrimLeft(s);
            if (s.empty()) {
                return true;
            }
            if (s.front() == '\\' && TrimLeft(s.substr(1)).empty()) {
                if (!CheckLineEnd(s)) {
                    return false;
                }
                if (!NextLine(s)) {
                    return Fail(kErrTruncatedHex);
                }
                continue;
            }
            uint32_t byte = 0;
            if (TakeHex(s, 2, byte) == 0 || (!s.empty() && HexDigit(s.front()) >= 0)) {
                return Fail(kErrBadHex);
            }
            value.data.push_back(static_cast<uint8_t>(byte));
            if (!CheckSize(value)) {
                return false;
            }
            s = TrimLeft(s);
            if (!s.empty() && s.front() == ',') {
                s.remove_prefix(1);
            } else if (!s.empty() && s.front() != '\\') {
                return Fail(kErrBadHex);
            }
        }
    }

    std::string_view text_;
    RegKey& root_;
    RegKey* current_ = nullptr;
    size_t pos_ = 0;
    size_t line_no_ = 0;
    bool had_line_end_ = false;
    RegParseError error_;
};

std::string Quote(std::string_view s) {
    std::string out = "\"";
    for (char c : s) {
        if (c == '\\' || c == '"') {
            out.push_back('\\');
        }
        out.push_back(c);
    }
    out.push_back('"');
    return out;
}

// Text that a quoted string can hold: no zero byte and no line break.
bool FitsQuotedString(const std::vector<uint8_t>& data) {
    for (uint8_t b : data) {
        if (b == 0 || b == '\r' || b == '\n') {
            return false;
        }
    }
    return true;
}

void AppendHexList(std::string& out, size_t column, const std::vector<uint8_t>& bytes) {
    static constexpr char kDigits[] = "0123456789abcdef";
    for (size_t i = 0; i < bytes.size(); ++i) {
        const size_t width = (i + 1 < bytes.size()) ? 3 : 2;  // "xx," or the last "xx"
        // Break before the item unless the line is empty; the backslash needs one column.
        if (column + width + 1 > kHexLineWidth && i > 0) {
            out += "\\";
            out += kLineEnd;
            out += "  ";
            column = 2;
        }
        out.push_back(kDigits[bytes[i] >> 4]);
        out.push_back(kDigits[bytes[i] & 15]);
        if (width == 3) {
            out.push_back(',');
        }
        column += width;
    }
}

void AppendValue(std::string& out, const RegValue& value) {
    const size_t line_start = out.size();
    out += value.name.empty() ? std::string("@") : Quote(value.name);
    out += "=";
    if (value.type == REG_SZ && FitsQuotedString(value.data)) {
        out += Quote(
            std::string_view(reinterpret_cast<const char*>(value.data.data()), value.data.size()));
    } else if (value.type == REG_DWORD && value.data.size() == 4) {
        char buf[16];
        const uint32_t n = value.data[0] | (value.data[1] << 8) | (value.data[2] << 16) |
                           (static_cast<uint32_t>(value.data[3]) << 24);
        std::snprintf(buf, sizeof buf, "dword:%08x", n);
        out += buf;
    } else if (value.type == REG_BINARY) {
        out += "hex:";
        AppendHexList(out, out.size() - line_start, value.data);
    } else {
        char buf[24];
        std::snprintf(buf, sizeof buf, "hex(%x):", value.type);
        out += buf;
        std::vector<uint8_t> bytes = value.data;
        if (IsTextType(value.type)) {
            bytes.push_back(0);
        }
        AppendHexList(out, out.size() - line_start, bytes);
    }
    out += kLineEnd;
}

void AppendKey(std::string& out, const RegKey& key, const std::string& path) {
    out += "[";
    out += path;
    out += "]";
    out += kLineEnd;
    for (const auto& value : key.values) {
        AppendValue(out, value);
    }
    out += kLineEnd;
}

void AppendTree(std::string& out, const RegKey& key, const std::string& path) {
    for (const auto& sub : key.subkeys) {
        const std::string sub_path = path + "\\" + sub.name;
        AppendKey(out, sub, sub_path);
        AppendTree(out, sub, sub_path);
    }
}

}  // namespace

bool ParseRegFile(std::string_view text, RegKey& root, RegParseError& error) {
    root = RegKey{};
    return Parser(text, root).Run(error);
}

std::string WriteRegFile(const RegKey& root) {
    std::string out(kHeader);
    out += kLineEnd;
    out += kLineEnd;
    const std::string root_path(kHklmRootName);
    if (!root.values.empty()) {
        AppendKey(out, root, root_path);
    }
    AppendTree(out, root, root_path);
    return out;
}

}  // namespace qorval::platform
