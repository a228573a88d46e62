#include "analyser/settings.h"

#include <charconv>
#include <cstdio>

#include "analyser/utf8_text.h"
#include "platform/paths.h"
#include "platform/profile.h"

namespace qorval::analyser {
namespace {

constexpr const char* kProfileName = "lombex32.ini";

constexpr const char* kParms = "PARMS";
constexpr const char* kNodeKey = "NODE";
constexpr const char* kDisplayKey = "DISPLAY";
constexpr const char* kLogFileKey = "LOGFILE";
constexpr const char* kMacroFileKey = "MACFILE";
constexpr const char* kSendFileKey = "SENDFILE";
constexpr const char* kSendFirstKey = "SENDFIRST";
constexpr const char* kRawLoggingKey = "RAWLOGGING";

constexpr const char* kSettings = "Settings";
constexpr const char* kWindowPosKey = "WindowPos";
constexpr const char* kWordWrapKey = "WordWrap";
constexpr const char* kTimeColumnKey = "TimeColumn";
constexpr const char* kTabStopsKey = "TabStops";

constexpr const char* kFont = "Font";
constexpr const char* kPrintFont = "PrintFont";
constexpr const char* kHeightKey = "Height";
constexpr const char* kWeightKey = "Weight";
constexpr const char* kItalicKey = "Italic";
constexpr const char* kUnderlineKey = "Underline";
constexpr const char* kPitchKey = "PitchAndFamily";
constexpr const char* kFaceNameKey = "FaceName";
constexpr size_t kFaceNameKept = 31;

constexpr const char* kPageSetup = "PageSetup";
constexpr const char* kHeaderKey = "Header";
constexpr const char* kFooterKey = "Footer";

constexpr const char* kWindowPosFormat = "%u,%u,%d,%d,%d,%d,%d,%d,%d,%d";

// A setting that cannot be written at exit is not reported: the program is ending, and the
// next run reads the old value or the default.
void Store(platform::ProfileFile& profile, const char* section, const char* key,
           std::string_view value) {
    (void)profile.WriteString(section, key, value);
}

int ReadInt(platform::ProfileFile& profile, const char* section, const char* key, int fallback) {
    return static_cast<int>(profile.GetInt(section, key, fallback));
}

void WriteInt(platform::ProfileFile& profile, const char* section, const char* key, int64_t value) {
    Store(profile, section, key, std::to_string(value));
}

FontSetting ReadFont(platform::ProfileFile& profile, const char* section) {
    FontSetting font;
    font.height = ReadInt(profile, section, kHeightKey, 0);
    if (font.height != 0) {
        font.weight = ReadInt(profile, section, kWeightKey, 0);
        font.italic = ReadInt(profile, section, kItalicKey, 0);
        font.underline = ReadInt(profile, section, kUnderlineKey, 0);
        font.pitchAndFamily = ReadInt(profile, section, kPitchKey, 0);
        font.faceName =
            CutAtCharacter(profile.GetString(section, kFaceNameKey, font.faceName), kFaceNameKept);
    }
    return font;
}

void WriteChangedFont(platform::ProfileFile& profile, const char* section, const FontSetting& now,
                      const FontSetting& loaded) {
    if (now.height != loaded.height) {
        WriteInt(profile, section, kHeightKey, now.height);
    }
    if (now.height != 0) {
        const std::pair<const char*, std::pair<int, int>> fields[] = {
            {kWeightKey, {now.weight, loaded.weight}},
            {kItalicKey, {now.italic, loaded.italic}},
            {kUnderlineKey, {now.underline, loaded.underline}},
            {kPitchKey, {now.pitchAndFamily, loaded.pitchAndFamily}},
        };
        for (const auto& [key, values] : fields) {
            if (values.first != values.second) {
                WriteInt(profile, section, key, values.first);
            }
        }
    }
    if (now.faceName != loaded.faceName) {
        Store(profile, section, kFaceNameKey, now.faceName);
    }
}

void WriteIfChanged(platform::ProfileFile& profile, const char* section, const char* key,
                    const std::string& now, const std::string& loaded) {
    if (now != loaded) {
        Store(profile, section, key, now);
    }
}

}  // namespace

std::filesystem::path ProfilePath() {
    return std::filesystem::path(platform::WindowsDir()) / kProfileName;
}

ParmsSettings ReadParms(platform::ProfileFile& profile) {
    ParmsSettings parms;
    parms.node = static_cast<uint8_t>(ReadInt(profile, kParms, kNodeKey, parms.node));
    parms.display = ReadInt(profile, kParms, kDisplayKey, parms.display);
    parms.logFile = std::string(profile.GetString(kParms, kLogFileKey, parms.logFile));
    parms.macroFile = std::string(profile.GetString(kParms, kMacroFileKey, parms.macroFile));
    parms.sendFile = std::string(profile.GetString(kParms, kSendFileKey, parms.sendFile));
    parms.sendFirst = ReadInt(profile, kParms, kSendFirstKey, 0) != 0;
    parms.rawLogging = ReadInt(profile, kParms, kRawLoggingKey, 0) != 0;
    return parms;
}

void WriteParms(platform::ProfileFile& profile, const ParmsSettings& parms) {
    WriteInt(profile, kParms, kNodeKey, parms.node);
    WriteInt(profile, kParms, kDisplayKey, parms.display);
    Store(profile, kParms, kLogFileKey, parms.logFile);
    Store(profile, kParms, kMacroFileKey, parms.macroFile);
    Store(profile, kParms, kSendFileKey, parms.sendFile);
    WriteInt(profile, kParms, kSendFirstKey, parms.sendFirst ? 1 : 0);
    WriteInt(profile, kParms, kRawLoggingKey, parms.rawLogging ? 1 : 0);
}

ViewSettings ReadViewSettings(platform::ProfileFile& profile) {
    ViewSettings view;
    view.wordWrap = ReadInt(profile, kSettings, kWordWrapKey, 0) != 0;
    view.tabStops = ReadInt(profile, kSettings, kTabStopsKey, view.tabStops);
    view.timeColumn = ReadInt(profile, kSettings, kTimeColumnKey, 0);
    view.font = ReadFont(profile, kFont);
    view.printFont = ReadFont(profile, kPrintFont);
    view.header = std::string(profile.GetString(kPageSetup, kHeaderKey, view.header));
    view.footer = std::string(profile.GetString(kPageSetup, kFooterKey, view.footer));
    return view;
}

void WriteChangedViewSettings(platform::ProfileFile& profile, const ViewSettings& now,
                              const ViewSettings& loaded) {
    WriteIfChanged(profile, kPageSetup, kHeaderKey, now.header, loaded.header);
    WriteIfChanged(profile, kPageSetup, kFooterKey, now.footer, loaded.footer);
    if (now.tabStops != loaded.tabStops) {
        WriteInt(profile, kSettings, kTabStopsKey, now.tabStops);
    }
    if (now.wordWrap != loaded.wordWrap) {
        WriteInt(profile, kSettings, kWordWrapKey, now.wordWrap ? 1 : 0);
    }
    if (now.timeColumn != loaded.timeColumn) {
        WriteInt(profile, kSettings, kTimeColumnKey, now.timeColumn);
    }
    WriteChangedFont(profile, kFont, now.font, loaded.font);
    WriteChangedFont(profile, kPrintFont, now.printFont, loaded.printFont);
}

std::optional<WindowPlacement> ParseWindowPos(std::string_view text) {
    WindowPlacement placement;
    const char* at = text.data();
    const char* end = text.data() + text.size();
    for (size_t i = 0; i < placement.values.size(); ++i) {
        if (i > 0) {
            if (at == end || *at != ',') {
                return std::nullopt;
            }
            ++at;
        }
        while (at != end && *at == ' ') {
            ++at;
        }
        const auto [next, error] = std::from_chars(at, end, placement.values[i]);
        if (error != std::errc{}) {
            return std::nullopt;
        }
        at = next;
    }
    if (at != end) {
        return std::nullopt;
    }
    return placement;
}

std::string FormatWindowPos(const WindowPlacement& placement) {
    const auto& v = placement.values;
    char text[160];
    std::snprintf(text, sizeof text, kWindowPosFormat, static_cast<unsigned>(v[0]),
                  static_cast<unsigned>(v[1]), static_cast<int>(v[2]), static_cast<int>(v[3]),
                  static_cast<int>(v[4]), static_cast<int>(v[5]), static_cast<int>(v[6]),
                  static_cast<int>(v[7]), static_cast<int>(v[8]), static_cast<int>(v[9]));
    return text;
}

std::optional<WindowPlacement> ReadWindowPos(platform::ProfileFile& profile) {
    return ParseWindowPos(std::string(profile.GetString(kSettings, kWindowPosKey, "")));
}

void WriteWindowPos(platform::ProfileFile& profile, const WindowPlacement& placement) {
    Store(profile, kSettings, kWindowPosKey, FormatWindowPos(placement));
}

}  // namespace qorval::analyser
