// The text of a private profile file (.ini) as a list of lines, with lookups and edits that
// keep every line they do not touch exactly as it was.
#pragma once

#include <cstddef>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace qorval::platform {

enum class ProfileLineKind { Blank, Comment, Section, Pair, Other };

struct ProfileLine {
    std::string text;  // the line as stored, without its line end
    ProfileLineKind kind = ProfileLineKind::Other;
    std::string name;   // section name or key, trimmed
    std::string value;  // a pair's value, trimmed, quotes kept
};

class ProfileDocument {
  public:
    // Any text parses: a line that is neither section, key=value, comment nor blank is kept as
    // it is and ignored by lookups. CR LF and LF line ends are both read.
    static ProfileDocument Parse(std::string_view text);
    // Every line with a CR LF line end.
    std::string Write() const;

    // Lookups match sections and keys without regard to case; the first match wins. Keys
    // before the first section belong to no section.
    std::optional<std::string> Find(std::string_view section, std::string_view key) const;
    std::vector<std::string> SectionNames() const;
    std::vector<std::string> KeyNames(std::string_view section) const;
    // The section's key=value lines as stored (trimmed); comments and other lines dropped.
    std::vector<std::string> SectionLines(std::string_view section) const;

    // Edits return whether the document changed. The caller has checked the names (see
    // ProfileNameProblem).
    bool SetValue(std::string_view section, std::string_view key,
                  std::optional<std::string_view> value);
    bool ReplaceSection(std::string_view section, const std::vector<std::string>& lines);
    bool RemoveSection(std::string_view section);

    const std::vector<ProfileLine>& Lines() const { return lines_; }

  private:
    struct Range {
        size_t header;  // index of the section line
        size_t end;     // one past the last line of its body
    };
    std::optional<Range> FindSection(std::string_view section) const;
    // First pair of `key` in the body of `range`.
    std::optional<size_t> FindKey(const Range& range, std::string_view key) const;
    // Where a new line goes in the body: after its last non-blank line.
    size_t AppendPoint(const Range& range) const;
    void AppendSection(std::string_view section);

    std::vector<ProfileLine> lines_;
};

// Classifies one line of text.
ProfileLine ClassifyProfileLine(std::string text);

// Why a section name, key, value or section line cannot be written (a line break, a name that
// would read back as something else), or nullopt when it can.
std::optional<std::string> ProfileSectionProblem(std::string_view section);
std::optional<std::string> ProfileKeyProblem(std::string_view key);
std::optional<std::string> ProfileValueProblem(std::string_view value);
std::optional<std::string> ProfileSectionLineProblem(std::string_view line);

// A stored value as a caller reads it: one pair of surrounding double quotes removed.
std::string UnquoteProfileValue(std::string_view value);

// Like the original platform's integer read: optional sign and the leading decimal digits;
// no digits give 0; a number beyond 32 bits is clamped.
int32_t ParseProfileInt(std::string_view value);

}  // namespace qorval::platform
