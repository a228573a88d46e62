// The shell's small computations that are not widgets: the About box's system lines, the
// splash window's lifetime and the main window's saved placement.
#pragma once

#include <cstdint>
#include <filesystem>
#include <optional>
#include <string>

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
// Reads this machine's memory, the floating point processor key of the registry and the free
// space of drive c: under the prefix.
AboutLines ReadAboutLines(platform::Registry& registry, const std::filesystem::path& driveC);

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
