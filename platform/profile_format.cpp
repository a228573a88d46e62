#include "platform/profile_format.h"

#include <algorithm>
#include <cstdint>
#include <limits>

#include "platform/text_util.h"

namespace qorval::platform {
namespace {

constexpr std::string_view kUtf8Bom = "\xEF\xBB\xBF";
constexpr std::string_view kLineEnd = "\r\n";

constexpr std::string_view kErrLineBreak = "line break in ";
constexpr std::string_view kErrEmptySection = "empty section name";
constexpr std::string_view kErrSectionBracket = "']' in section name";
constexpr std::string_view kErrEmptyKey = "empty key";
constexpr std::string_view kErrKeyEquals = "'=' in key";
constexpr std::string_view kErrKeyStart = "key starting with ';' or '['";
constexpr std::string_view kErrLineIsSection = "section line inside a section";

std::string_view Trim(std::string_view s) {
    return TrimBlanks(s);
}

bool SameName(std::string_view a, std::string_view b) {
    return EqualsNoCase(Trim(a), Trim(b));
}

bool HasLineBreak(std::string_view s) {
    return s.find_first_of("\r\n") != std::string_view::npos;
}

std::optional<std::string> LineBreakIn(std::string_view s, std::string_view what) {
    if (HasLineBreak(s)) {
        return std::string(kErrLineBreak) + std::string(what);
    }
    return std::nullopt;
}

ProfileLine PairLine(std::string_view key, std::string_view value) {
    std::string text(Trim(key));
    text += '=';
    text += value;
    return ClassifyProfileLine(std::move(text));
}

ProfileLine SectionLine(std::string_view section) {
    std::string text = "[";
    text += Trim(section);
    text += ']';
    return ClassifyProfileLine(std::move(text));
}

}  // namespace

ProfileLine ClassifyProfileLine(std::string text) {
    ProfileLine line;
    std::string_view s = text;
    if (s.substr(0, kUtf8Bom.size()) == kUtf8Bom) {
        s.remove_prefix(kUtf8Bom.size());
    }
    s = Trim(s);
    if (s.empty()) {
        line.kind = ProfileLineKind::Blank;
    } else if (s.front() == ';') {
        line.kind = ProfileLineKind::Comment;
    } else if (s.front() == '[' && s.find(']') != std::string_view::npos) {
        line.kind = ProfileLineKind::Section;
        line.name = std::string(Trim(s.substr(1, s.find(']') - 1)));
    } else if (const size_t eq = s.find('=');
               eq != std::string_view::npos && eq > 0 && !Trim(s.substr(0, eq)).empty()) {
        line.kind = ProfileLineKind::Pair;
        line.name = std::string(Trim(s.substr(0, eq)));
        line.value = std::string(Trim(s.substr(eq + 1)));
    }
    line.text = std::move(text);
    return line;
}

ProfileDocument ProfileDocument::Parse(std::string_view text) {
    ProfileDocument doc;
    size_t pos = 0;
    while (pos < text.size()) {
        size_t end = text.find('\n', pos);
        const size_t next = end == std::string_view::npos ? text.size() : end + 1;
        if (end == std::string_view::npos) {
            end = text.size();
        }
        std::string_view line = text.substr(pos, end - pos);
        if (!line.empty() && line.back() == '\r') {
            line.remove_suffix(1);
        }
        doc.lines_.push_back(ClassifyProfileLine(std::string(line)));
        pos = next;
    }
    return doc;
}

std::string ProfileDocument::Write() const {
    std::string out;
    for (const auto& line : lines_) {
        out += line.text;
        out += kLineEnd;
    }
    return out;
}

std::optional<ProfileDocument::Range> ProfileDocument::FindSection(std::string_view section) const {
    for (size_t i = 0; i < lines_.size(); ++i) {
        if (lines_[i].kind == ProfileLineKind::Section && SameName(lines_[i].name, section)) {
            size_t end = i + 1;
            while (end < lines_.size() && lines_[end].kind != ProfileLineKind::Section) {
                ++end;
            }
            return Range{i, end};
        }
    }
    return std::nullopt;
}

std::optional<size_t> ProfileDocument::FindKey(const Range& range, std::string_view key) const {
    for (size_t i = range.header + 1; i < range.end; ++i) {
        if (lines_[i].kind == ProfileLineKind::Pair && SameName(lines_[i].name, key)) {
            return i;
        }
    }
    return std::nullopt;
}

size_t ProfileDocument::AppendPoint(const Range& range) const {
    size_t at = range.end;
    while (at > range.header + 1 && lines_[at - 1].kind == ProfileLineKind::Blank) {
        --at;
    }
    return at;
}

void ProfileDocument::AppendSection(std::string_view section) {
    lines_.push_back(SectionLine(section));
}

std::optional<std::string> ProfileDocument::Find(std::string_view section,
                                                 std::string_view key) const {
    const auto range = FindSection(section);
    if (!range) {
        return std::nullopt;
    }
    const auto at = FindKey(*range, key);
    if (!at) {
        return std::nullopt;
    }
    return lines_[*at].value;
}

std::vector<std::string> ProfileDocument::SectionNames() const {
    std::vector<std::string> names;
    for (const auto& line : lines_) {
        if (line.kind != ProfileLineKind::Section) {
            continue;
        }
        bool seen = false;
        for (const auto& name : names) {
            seen = seen || SameName(name, line.name);
        }
        if (!seen) {
            names.push_back(line.name);
        }
    }
    return names;
}

std::vector<std::string> ProfileDocument::KeyNames(std::string_view section) const {
    std::vector<std::string> names;
    const auto range = FindSection(section);
    for (size_t i = range ? range->header + 1 : 0; range && i < range->end; ++i) {
        if (lines_[i].kind == ProfileLineKind::Pair && FindKey(*range, lines_[i].name) == i) {
            names.push_back(lines_[i].name);
        }
    }
    return names;
}

std::vector<std::string> ProfileDocument::SectionLines(std::string_view section) const {
    std::vector<std::string> out;
    const auto range = FindSection(section);
    for (size_t i = range ? range->header + 1 : 0; range && i < range->end; ++i) {
        if (lines_[i].kind == ProfileLineKind::Pair) {
            out.emplace_back(Trim(lines_[i].text));
        }
    }
    return out;
}

bool ProfileDocument::SetValue(std::string_view section, std::string_view key,
                               std::optional<std::string_view> value) {
    auto range = FindSection(section);
    if (!range) {
        if (!value) {
            return false;
        }
        AppendSection(section);
        range = Range{lines_.size() - 1, lines_.size()};
    }
    const auto at = FindKey(*range, key);
    if (!value) {
        if (!at) {
            return false;
        }
        lines_.erase(lines_.begin() + static_cast<std::ptrdiff_t>(*at));
        return true;
    }
    if (at) {
        // The stored spelling of the key stays; only the value changes.
        ProfileLine line = PairLine(lines_[*at].name, *value);
        if (line.text == lines_[*at].text) {
            return false;
        }
        lines_[*at] = std::move(line);
        return true;
    }
    lines_.insert(lines_.begin() + static_cast<std::ptrdiff_t>(AppendPoint(*range)),
                  PairLine(key, *value));
    return true;
}

bool ProfileDocument::ReplaceSection(std::string_view section,
                                     const std::vector<std::string>& lines) {
    auto range = FindSection(section);
    if (!range) {
        AppendSection(section);
        range = Range{lines_.size() - 1, lines_.size()};
    }
    // The blank lines that separate the section from the next one stay.
    const auto first = lines_.begin() + static_cast<std::ptrdiff_t>(range->header + 1);
    const auto last = lines_.begin() + static_cast<std::ptrdiff_t>(AppendPoint(*range));
    std::vector<ProfileLine> body;
    for (const auto& text : lines) {
        body.push_back(ClassifyProfileLine(text));
    }
    const auto at = lines_.erase(first, last);
    lines_.insert(at, body.begin(), body.end());
    return true;
}

bool ProfileDocument::RemoveSection(std::string_view section) {
    const auto range = FindSection(section);
    if (!range) {
        return false;
    }
    lines_.erase(lines_.begin() + static_cast<std::ptrdiff_t>(range->header),
                 lines_.begin() + static_cast<std::ptrdiff_t>(range->end));
    return true;
}

std::optional<std::string> ProfileSectionProblem(std::string_view section) {
    if (auto problem = LineBreakIn(section, "section name")) {
        return problem;
    }
    if (Trim(section).empty()) {
        return std::string(kErrEmptySection);
    }
    if (section.find(']') != std::string_view::npos) {
        return std::string(kErrSectionBracket);
    }
    return std::nullopt;
}

std::optional<std::string> ProfileKeyProblem(std::string_view key) {
    if (auto problem = LineBreakIn(key, "key")) {
        return problem;
    }
    key = Trim(key);
    if (key.empty()) {
        return std::string(kErrEmptyKey);
    }
    if (key.find('=') != std::string_view::npos) {
        return std::string(kErrKeyEquals);
    }
    if (key.front() == ';' || key.front() == '[') {
        return std::string(kErrKeyStart);
    }
    return std::nullopt;
}

std::optional<std::string> ProfileValueProblem(std::string_view value) {
    return LineBreakIn(value, "value");
}

std::optional<std::string> ProfileSectionLineProblem(std::string_view line) {
    if (auto problem = LineBreakIn(line, "section line")) {
        return problem;
    }
    if (ClassifyProfileLine(std::string(line)).kind == ProfileLineKind::Section) {
        return std::string(kErrLineIsSection);
    }
    return std::nullopt;
}

std::string UnquoteProfileValue(std::string_view value) {
    if (value.size() >= 2 && value.front() == '"' && value.back() == '"') {
        value = value.substr(1, value.size() - 2);
    }
    return std::string(value);
}

int32_t ParseProfileInt(std::string_view value) {
    value = Trim(value);
    bool negative = false;
    if (!value.empty() && (value.front() == '-' || value.front() == '+')) {
        negative = value.front() == '-';
        value.remove_prefix(1);
    }
    int64_t number = 0;
    constexpr int64_t kLimit = int64_t{std::numeric_limits<int32_t>::max()} + 1;
    for (char c : value) {
        if (c < '0' || c > '9') {
            break;
        }
        number = std::min(number * 10 + (c - '0'), kLimit);
    }
    if (negative) {
        number = -number;
    }
    return static_cast<int32_t>(std::clamp<int64_t>(number, std::numeric_limits<int32_t>::min(),
                                                    std::numeric_limits<int32_t>::max()));
}

}  // namespace qorval::platform
