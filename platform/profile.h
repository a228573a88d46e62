// Private profile files (.ini) with the original platform's semantics: "System.ini" for the
// configuration tool, the analyser's settings file.
//
// Every call reads the file afresh, so the object sees other writers at once; every write is
// an atomic rewrite under the file's advisory lock that keeps all other lines, their order and
// comments. A damaged file gives defaults on read and loses nothing on write. One object is
// used by one thread at a time; any number of objects, in any processes, may share a file.
#pragma once

#include <cstdint>
#include <filesystem>
#include <functional>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace qorval::platform {

class ProfileDocument;

class ProfileFile {
  public:
    explicit ProfileFile(std::filesystem::path file);

    // Optional sign and leading decimal digits of the value; a value with no digits gives 0;
    // a missing key, section or file gives def.
    [[nodiscard]] int32_t GetInt(std::string_view section, std::string_view key, int32_t def) const;
    // The value with whitespace around it trimmed and one pair of surrounding double quotes
    // removed; def when the key, section or file is missing.
    [[nodiscard]] std::string GetString(std::string_view section, std::string_view key,
                                        std::string_view def) const;
    [[nodiscard]] bool HasKey(std::string_view section, std::string_view key) const;
    [[nodiscard]] std::vector<std::string> SectionNames() const;
    [[nodiscard]] std::vector<std::string> KeyNames(std::string_view section) const;
    // The lines as stored ("key=value", comments dropped).
    [[nodiscard]] std::vector<std::string> ReadSection(std::string_view section) const;
    // nullopt deletes the key; creates section and file as needed.
    [[nodiscard]] bool WriteString(std::string_view section, std::string_view key,
                                   std::optional<std::string_view> value);
    // Replaces the whole section (all its lines; blank lines after it stay).
    [[nodiscard]] bool WriteSection(std::string_view section,
                                    const std::vector<std::string>& lines);
    [[nodiscard]] bool DeleteSection(std::string_view section);
    // The whole file as it is now (an empty document when it does not exist); false, with
    // LastError, when it cannot be read.
    [[nodiscard]] bool Load(ProfileDocument& doc);
    // Reads the file under its lock (waiting at most kLockWait for another writer), runs `edit`
    // on its text and, when `edit` returns true and changed something, writes the result back in
    // one atomic rewrite: every change of `edit` reaches the file or none does. Returns false
    // when `edit` did (nothing is written) or when the file cannot be read or written (then
    // LastError says why).
    [[nodiscard]] bool Transact(const std::function<bool(ProfileDocument& doc)>& edit);
    // Why the last write failed; empty after a write that succeeded.
    [[nodiscard]] const std::string& LastError() const;

  private:
    template <class Edit>
    bool Rewrite(Edit edit);

    std::filesystem::path file_;
    std::string last_error_;
};

}  // namespace qorval::platform
