#include "analyser/shell_info.h"

#include <sys/statvfs.h>
#include <sys/sysinfo.h>

#include "analyser/string_printf.h"
#include "platform/registry.h"

namespace qorval::analyser {
namespace {

constexpr const char* kMemoryFormat = "%lu KB";
constexpr const char* kDiskFormat = "%lu KB Free";
constexpr const char* kDiskUnavailable = "Unavailable";
constexpr const char* kPresent = "Present";
constexpr const char* kNotPresent = "Not present";
constexpr const char* kFloatingPointKey = "HARDWARE\\DESCRIPTION\\System\\FloatingPointProcessor";

}  // namespace

std::string FormatMemoryLine(uint64_t totalBytes) {
    return StringPrintf(kMemoryFormat, static_cast<unsigned long>(totalBytes / 1024));
}

std::string FormatDiskLine(std::optional<uint64_t> freeBytes) {
    return freeBytes ? StringPrintf(kDiskFormat, static_cast<unsigned long>(*freeBytes / 1024))
                     : std::string(kDiskUnavailable);
}

AboutLines ReadAboutLines(platform::Registry& registry, const std::filesystem::path& driveC) {
    AboutLines lines;
    struct sysinfo memory {};
    lines.memory =
        FormatMemoryLine(sysinfo(&memory) == 0 ? uint64_t{memory.totalram} * memory.mem_unit : 0);
    lines.coprocessor = registry.KeyExists(kFloatingPointKey) ? kPresent : kNotPresent;
    struct statvfs disk {};
    std::optional<uint64_t> freeBytes;
    if (statvfs(driveC.c_str(), &disk) == 0) {
        freeBytes = uint64_t{disk.f_bavail} * disk.f_frsize;
    }
    lines.disk = FormatDiskLine(freeBytes);
    return lines;
}

int64_t InitialShowCommand(const std::optional<WindowPlacement>& saved, int64_t commandLineShow) {
    if (saved && commandLineShow == kShowNormal) {
        return saved->values[1];
    }
    return commandLineShow;
}

WindowPlacement PlacementToSave(WindowPlacement current, bool maximized) {
    current.values[0] = maximized ? int64_t{kRestoreToMaximized} : int64_t{0};
    return current;
}

}  // namespace qorval::analyser
