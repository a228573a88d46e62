#include "platform/profile.h"

#include "platform/atomic_file.h"
#include "platform/profile_format.h"

namespace qorval::platform {
namespace {

// A profile file larger than this is not read (defaults) and not rewritten.
constexpr size_t kMaxProfileSize = 16 * 1024 * 1024;
constexpr std::string_view kErrTooLarge = ": file larger than 16 MiB; not rewritten";

ProfileDocument LoadDocument(const std::filesystem::path& file) {
    std::string text;
    std::string error;
    if (ReadWholeFile(file, kMaxProfileSize, text, error) != FileReadStatus::Ok) {
        return {};
    }
    return ProfileDocument::Parse(text);
}

}  // namespace

ProfileFile::ProfileFile(std::filesystem::path file) : file_(std::move(file)) {}

int32_t ProfileFile::GetInt(std::string_view section, std::string_view key, int32_t def) const {
    const auto value = LoadDocument(file_).Find(section, key);
    return value ? ParseProfileInt(UnquoteProfileValue(*value)) : def;
}

std::string ProfileFile::GetString(std::string_view section, std::string_view key,
                                   std::string_view def) const {
    const auto value = LoadDocument(file_).Find(section, key);
    return value ? UnquoteProfileValue(*value) : std::string(def);
}

bool ProfileFile::HasKey(std::string_view section, std::string_view key) const {
    return LoadDocument(file_).Find(section, key).has_value();
}

std::vector<std::string> ProfileFile::SectionNames() const {
    return LoadDocument(file_).SectionNames();
}

std::vector<std::string> ProfileFile::KeyNames(std::string_view section) const {
    return LoadDocument(file_).KeyNames(section);
}

std::vector<std::string> ProfileFile::ReadSection(std::string_view section) const {
    return LoadDocument(file_).SectionLines(section);
}

// Reads the file under its lock, applies `edit` and writes the result back when it changed.
// A file that cannot be read whole is never rewritten.
template <class Edit>
bool ProfileFile::Rewrite(Edit edit) {
    last_error_.clear();
    auto lock = FileLock::Acquire(file_, last_error_);
    if (!lock) {
        return false;
    }
    std::string text;
    switch (ReadWholeFile(file_, kMaxProfileSize, text, last_error_)) {
        case FileReadStatus::Ok:
        case FileReadStatus::Missing:
            break;
        case FileReadStatus::TooLarge:
            last_error_ = file_.string() + std::string(kErrTooLarge);
            return false;
        case FileReadStatus::Error:
            return false;
    }
    ProfileDocument doc = ProfileDocument::Parse(text);
    if (!edit(doc)) {
        return true;  // nothing to change
    }
    return WriteFileAtomically(file_, doc.Write(), last_error_);
}

bool ProfileFile::WriteString(std::string_view section, std::string_view key,
                              std::optional<std::string_view> value) {
    auto problem = ProfileSectionProblem(section);
    if (!problem) {
        problem = ProfileKeyProblem(key);
    }
    if (!problem && value) {
        problem = ProfileValueProblem(*value);
    }
    if (problem) {
        last_error_ = *problem;
        return false;
    }
    return Rewrite([&](ProfileDocument& doc) { return doc.SetValue(section, key, value); });
}

bool ProfileFile::WriteSection(std::string_view section, const std::vector<std::string>& lines) {
    auto problem = ProfileSectionProblem(section);
    for (size_t i = 0; !problem && i < lines.size(); ++i) {
        problem = ProfileSectionLineProblem(lines[i]);
    }
    if (problem) {
        last_error_ = *problem;
        return false;
    }
    return Rewrite([&](ProfileDocument& doc) { return doc.ReplaceSection(section, lines); });
}

bool ProfileFile::DeleteSection(std::string_view section) {
    if (auto problem = ProfileSectionProblem(section)) {
        last_error_ = *problem;
        return false;
    }
    return Rewrite([&](ProfileDocument& doc) { return doc.RemoveSection(section); });
}

bool ProfileFile::Load(ProfileDocument& doc) {
    last_error_.clear();
    std::string text;
    switch (ReadWholeFile(file_, kMaxProfileSize, text, last_error_)) {
        case FileReadStatus::Ok:
        case FileReadStatus::Missing:
            doc = ProfileDocument::Parse(text);
            return true;
        case FileReadStatus::TooLarge:
            last_error_ = file_.string() + std::string(kErrTooLarge);
            return false;
        case FileReadStatus::Error:
            break;
    }
    return false;
}

bool ProfileFile::Transact(const std::function<bool(ProfileDocument& doc)>& edit) {
    bool proceed = true;
    const bool written = Rewrite([&](ProfileDocument& doc) {
        const std::string before = doc.Write();
        proceed = edit(doc);
        return proceed && doc.Write() != before;
    });
    return proceed && written;
}

const std::string& ProfileFile::LastError() const {
    return last_error_;
}

}  // namespace qorval::platform
