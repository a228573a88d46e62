// The shell's small computations that are not widgets: the About box's system lines, the
// splash window's lifetime and the main window's saved placement.
#pragma once

#include <cstdint>
#include <filesystem>
#include <optional>
#include <string>
#include <string_view>

#include "analyser/settings.h"

namespace qorval::platform {
class Registry;
}

namespace qorval::analyser {

struct AboutLines {
    std::string memory;       // "Total Physical Memory:" value, "%lu KB"
    std::string coprocessor;  // "Math Co-processor:" value, "Present" or "Not present"
    std::string disk;         // "Disk (C:) Space:" value, "%lu KB Free" or "Unavailable"
};

std::string FormatMemoryLine(uint64_t totalBytes);
std::string FormatDiskLine(std::optional<uint64_t> freeBytes);
// Reads this machine's memory, whether it has a floating point unit and the free space of
// drive c: under the prefix. The unit is "Present" when the registry's floating point processor
// key opens, as on the system the program comes from, or when the processor's description
// (`cpuInfo`, /proc/cpuinfo) lists one: nothing on Linux writes that key.
AboutLines ReadAboutLines(platform::Registry& registry, const std::filesystem::path& driveC,
                          const std::filesystem::path& cpuInfo = "/proc/cpuinfo");
// True when a processor description in the form of /proc/cpuinfo names a floating point unit
// among its features ("fpu" in x86 "flags", "fp" in Arm "Features").
bool CpuInfoShowsFloatingPointUnit(std::string_view cpuInfo);

// The splash window: destroyed at the first idle moment more than 5000 ms after it was shown.
class SplashTimer {
  public:
    static constexpr uint32_t kShowMs = 5000;
    explicit SplashTimer(uint32_t shownAtMs) : shownAtMs_(shownAtMs) {}
    // True when the splash should go at this idle moment; until then the idle handler asks
    // for more idle time.
    bool ExpiredAt(uint32_t nowMs) const { return nowMs - shownAtMs_ > kShowMs; }

  private:
    uint32_t shownAtMs_;
};

// Show commands of the main window (the original platform's values).
enum : int64_t { kShowNormal = 1, kRestoreToMaximized = 2 };

// The show command the main window opens with: the command line's unless it is the plain
// show-normal command and a saved placement exists.
int64_t InitialShowCommand(const std::optional<WindowPlacement>& saved, int64_t commandLineShow);
// The placement stored when the main window closes: its flags become the restore-to-maximized
// flag when the window is maximized, else 0.
WindowPlacement PlacementToSave(WindowPlacement current, bool maximized);

}  // namespace qorval::analyser
