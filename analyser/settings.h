// The analyser's persistent settings, kept in its private profile file
// (WindowsDir()/lombex32.ini): the "PARMS" keys, the view keys ("Settings", "Font",
// "PrintFont") and the page keys ("PageSetup"), with their defaults.
#pragma once

#include <array>
#include <cstdint>
#include <filesystem>
#include <optional>
#include <string>
#include <string_view>

namespace qorval::platform {
class ProfileFile;
}

namespace qorval::analyser {

// The settings under "PARMS": read at start-up, written at every exit.
struct ParmsSettings {
    uint8_t node = 0;
    int display = 0;  // 0 ASCII, 1 hexadecimal, 2 mixed; other values display as ASCII
    std::string logFile = "logfile.txt";
    std::string macroFile = "macfile.txt";
    std::string sendFile = "sendfile.txt";
    bool sendFirst = false;
    bool rawLogging = false;

    bool operator==(const ParmsSettings&) const = default;
};

// A logical font as the profile keeps it; height 0 means no font was chosen.
struct FontSetting {
    int height = 0;
    int weight = 0;
    int italic = 0;
    int underline = 0;
    int pitchAndFamily = 0;
    std::string faceName = "System";  // at most 31 characters are kept

    bool operator==(const FontSetting&) const = default;
};

// The view and page settings: read at start-up, each written at exit only when it changed.
struct ViewSettings {
    bool wordWrap = false;
    int tabStops = 32;  // dialog units
    FontSetting font;
    FontSetting printFont;
    std::string header = "File: &f";
    std::string footer = "Page: &p";
    int timeColumn = 0;  // "TimeColumn": 0 off, 1 since the start of capture, 2 since the
                         // previous frame (frame_time.h)

    bool operator==(const ViewSettings&) const = default;
};

// The main window's placement as the "WindowPos" key keeps it.
struct WindowPlacement {
    std::array<int64_t, 10> values{};  // flags, show command, min x/y, max x/y, normal l/t/r/b
};

std::filesystem::path ProfilePath();

ParmsSettings ReadParms(platform::ProfileFile& profile);
void WriteParms(platform::ProfileFile& profile, const ParmsSettings& parms);

ViewSettings ReadViewSettings(platform::ProfileFile& profile);
void WriteChangedViewSettings(platform::ProfileFile& profile, const ViewSettings& now,
                              const ViewSettings& loaded);

// The placement when the value is exactly ten numbers, else nullopt (the window then opens
// with the show command of the command line).
std::optional<WindowPlacement> ParseWindowPos(std::string_view text);
std::string FormatWindowPos(const WindowPlacement& placement);
std::optional<WindowPlacement> ReadWindowPos(platform::ProfileFile& profile);
void WriteWindowPos(platform::ProfileFile& profile, const WindowPlacement& placement);

}  // namespace qorval::analyser
