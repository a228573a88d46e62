#include "analyser/shell_info.h"

#include <sys/statvfs.h>
#include <sys/sysinfo.h>

#include <fstream>
#include <iterator>
#include <sstream>

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

bool CpuInfoShowsFloatingPointUnit(std::string_view cpuInfo) {
    std::istringstream lines{std::string(cpuInfo)};
    for (std::string line; std::getline(lines, line);) {
        const size_t colon = line.find(':');
        if (colon == std::string::npos ||
            !(line.starts_with("flags") || line.starts_with("Features"))) {
            continue;
        }
        std::istringstream features(line.substr(colon + 1));
        for (std::string feature; features >> feature;) {
            if (feature == "fpu" || feature == "fp") {
                return true;
            }
        }
    }
    return false;
}

AboutLines ReadAboutLines(platform::Registry& registry, const std::filesystem::path& driveC,
                          const std::filesystem::path& cpuInfo) {
    AboutLines lines;
    struct sysinfo memory {};
    lines.memory =
        FormatMemoryLine(sysinfo(&memory) == 0 ? uint64_t{memory.totalram} * memory.mem_unit : 0);
    std::ifstream in(cpuInfo);
    const std::string description((std::istreambuf_iterator<char>(in)),
                                  std::istreambuf_iterator<char>());
    lines.coprocessor =
        registry.KeyExists(kFloatingPointKey) || CpuInfoShowsFloatingPointUnit(description)
            ? kPresent
            : kNotPresent;
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
