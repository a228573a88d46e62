#include "platform/paths.h"

#include <pwd.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <system_error>
#include <vector>

#include "platform/text_util.h"

namespace qorval::platform {
namespace {

constexpr const char* kPrefixVariable = "QORVAL_PREFIX";
constexpr const char* kDataHomeVariable = "XDG_DATA_HOME";
constexpr const char* kHomeVariable = "HOME";
constexpr std::string_view kSuiteFolder = "qorval";
constexpr std::string_view kDriveFolderPrefix = "drive_";
// Folders the suite creates are its owner's alone; a person may open one to a group later.
constexpr mode_t kPrivateFolderMode = 0700;

std::string Environment(const char* name) {
    const char* value = std::getenv(name);
    return value != nullptr ? std::string(value) : std::string();
}

std::filesystem::path HomeFolder() {
    if (std::string home = Environment(kHomeVariable); !home.empty()) {
        return home;
    }
    // No HOME (a service started without a login): ask the password database.
    std::vector<char> buf(16384);
    struct passwd entry {};
    struct passwd* found = nullptr;
    if (::getpwuid_r(::getuid(), &entry, buf.data(), buf.size(), &found) == 0 && found != nullptr &&
        found->pw_dir != nullptr && found->pw_dir[0] != '\0') {
        return found->pw_dir;
    }
    return std::filesystem::temp_directory_path();
}

// The name as stored in `dir` when one matches without regard to case, else `name` itself.
std::string StoredName(const std::filesystem::path& dir, const std::string& name) {
    std::error_code ec;
    if (std::filesystem::exists(dir / name, ec)) {
        return name;
    }
    for (std::filesystem::directory_iterator it(dir, ec), end; !ec && it != end; it.increment(ec)) {
        const std::string entry = it->path().filename().string();
        if (EqualsNoCase(entry, name)) {
            return entry;
        }
    }
    return name;
}

// Splits on either slash, resolving "." and "..": ".." at the top is dropped for a rooted path
// (as Windows does at a drive's root) and kept for a relative one.
std::vector<std::string> SplitNames(std::string_view path, bool rooted) {
    std::vector<std::string> names;
    size_t start = 0;
    while (start <= path.size()) {
        size_t end = path.find_first_of("\\/", start);
        if (end == std::string_view::npos) {
            end = path.size();
        }
        const std::string_view name = path.substr(start, end - start);
        if (name == "..") {
            if (!names.empty() && names.back() != "..") {
                names.pop_back();
            } else if (!rooted) {
                names.emplace_back(name);
            }
        } else if (!name.empty() && name != ".") {
            names.emplace_back(name);
        }
        start = end + 1;
    }
    return names;
}

}  // namespace

std::filesystem::path Prefix() {
    if (std::string prefix = Environment(kPrefixVariable); !prefix.empty()) {
        return prefix;
    }
    // A relative XDG_DATA_HOME is invalid and ignored, as the base directory rules say.
    if (std::string data_home = Environment(kDataHomeVariable);
        !data_home.empty() && data_home.front() == '/') {
        return std::filesystem::path(data_home) / kSuiteFolder;
    }
    return HomeFolder() / ".local" / "share" / kSuiteFolder;
}

std::filesystem::path RegistryFile() {
    return Prefix() / "system.reg";
}
std::filesystem::path DriveC() {
    return Prefix() / "drive_c";
}
std::filesystem::path WindowsDir() {
    return DriveC() / "windows";
}
std::filesystem::path RunDir() {
    return Prefix() / "run";
}
std::filesystem::path LogDir() {
    return Prefix() / "log";
}

std::filesystem::path FromDosPath(std::string_view dos) {
    std::filesystem::path base;
    bool rooted = false;
    const bool has_drive = dos.size() >= 2 && dos[1] == ':' &&
                           ((dos[0] >= 'a' && dos[0] <= 'z') || (dos[0] >= 'A' && dos[0] <= 'Z'));
    if (has_drive) {
        base = Prefix() / (std::string(kDriveFolderPrefix) + AsciiLower(dos[0]));
        dos.remove_prefix(2);
        rooted = true;  // "c:name" (relative to the drive's current folder) is taken from its root
    } else if (!dos.empty() && (dos.front() == '\\' || dos.front() == '/')) {
        base = DriveC();
        rooted = true;
    }
    std::filesystem::path out = base;
    for (const std::string& name : SplitNames(dos, rooted)) {
        out /= StoredName(out.empty() ? std::filesystem::path(".") : out, name);
    }
    return out;
}

bool EnsureDirectory(const std::filesystem::path& dir, std::string* error) {
    std::error_code ec;
    if (std::filesystem::is_directory(dir, ec)) {
        return true;
    }
    // Each missing folder on the way is made with the private mode; existing ones keep theirs.
    std::filesystem::path partial;
    int failure = 0;
    for (const std::filesystem::path& name : dir) {
        partial /= name;
        if (name.empty() || ::mkdir(partial.c_str(), kPrivateFolderMode) == 0 || errno == EEXIST) {
            continue;
        }
        failure = errno;
        break;
    }
    if (failure == 0 && std::filesystem::is_directory(dir, ec)) {
        return true;
    }
    if (error != nullptr) {
        *error = dir.string() + ": cannot create the folder: " +
                 (failure != 0 ? std::string(std::strerror(failure))
                               : std::string("a file of that name is in the way"));
    }
    return false;
}

}  // namespace qorval::platform
