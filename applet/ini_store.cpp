#include "applet/ini_store.h"

#include <algorithm>
#include <string>
#include <vector>

#include "applet/text_util.h"
#include "platform/profile_format.h"

namespace qorval::applet {

namespace {

constexpr const char* k386Enh = "386Enh";
constexpr const char* kDevicePrefix = "device=C:\\windows\\system32\\drivers\\";
constexpr const char* kLogFileKey = "LogFile";
constexpr const char* kLogFileValue = "c:\\fendar5.txt";
constexpr const char* kFirstPort = "Port001";
constexpr size_t kTextLimit = 30;
// The section is read into a 1024-byte buffer; a read that returns 1022 means it did not fit.
constexpr size_t kSectionBuffer = 1024;
constexpr size_t kSectionTooLarge = kSectionBuffer - 2;
constexpr const char* kTrue = "TRUE";
constexpr const char* kFalse = "FALSE";

// A value as the profile functions return it: quotes removed; `def` when missing.
std::string Value(const platform::ProfileDocument& ini, std::string_view section,
                  std::string_view key, std::string_view def) {
    const std::optional<std::string> value = ini.Find(section, key);
    return value ? platform::UnquoteProfileValue(*value) : std::string(def);
}

// A profile value as the reader compares it: at most 30 characters, lowered.
std::string Text(const platform::ProfileDocument& ini, const std::string& section, const char* key,
                 const char* def) {
    std::string value = Value(ini, section, key, def);
    if (value.size() > kTextLimit) {
        value.resize(kTextLimit);
    }
    return ToLower(value);
}

// A decimal number; a value that holds no number takes the default.
int32_t Decimal(const platform::ProfileDocument& ini, const std::string& section, const char* key,
                int32_t def) {
    int32_t value = def;
    return TryReadDecimal(Text(ini, section, key, ""), value) ? value : def;
}

// A hexadecimal number; a value that holds no number takes the default.
int32_t Hex(const platform::ProfileDocument& ini, const std::string& section, const char* key,
            uint32_t def) {
    uint32_t value = def;
    return static_cast<int32_t>(TryReadHex(Text(ini, section, key, ""), value) ? value : def);
}

int32_t ClockCode(const std::string& text) {
    if (text == "txc") {
        return kClockTxc;
    }
    if (text == "rxc") {
        return kClockRxc;
    }
    return text == "dpll" ? kClockDpll : kClockBrg;
}

const char* ClockName(int32_t code) {
    switch (code) {
        case kClockTxc:
            return "TXC";
        case kClockRxc:
            return "RXC";
        case kClockDpll:
            return "DPLL";
        default:
            return "BRG";
    }
}

struct EncodingName {
    int32_t code;
    const char* name;
};

constexpr EncodingName kEncodings[] = {
    {kDpllNrzi, "NRZI"},
    {kDpllFm0, "FM0"},
    {kDpllFm1, "FM1"},
    {kDpllManchester, "Manchester"},
    {kDpllDiffBiPhaseLevel, "DiffBiPhaseLevel"},
    {kDpllNrzb, "NRZB"},
    {kDpllNrziMark, "NRZI Mark"},
    {kDpllNrz, "NRZ"},
};

int32_t CardCode(const std::string& lowered) {
    if (lowered == "junipera" || lowered == "juniperb") {
        return kJuniper;
    }
    for (int32_t code = 0; code < kCardTypeCount; ++code) {
        if (lowered == ToLower(CardModelName(code))) {
            return code;
        }
    }
    return kHazel;
}

std::string CardText(int32_t code) {
    if (code == kJuniper) {
        return "JuniperA";
    }
    return IsKnownCard(code) ? std::string(CardModelName(code)) : "Hazel";
}

void ReadPort(const platform::ProfileDocument& ini, const std::string& section, PortEntry& p) {
    const auto text = [&](const char* key, const char* def) {
        return Text(ini, section, key, def);
    };
    const auto decimal = [&](const char* key, int32_t def) {
        return Decimal(ini, section, key, def);
    };
    p.name = kFirstPort;
    p.BaseIO = Hex(ini, section, "Base", 0x238);
    p.Interrupt = decimal("IRQ", 5);
    p.Card = CardCode(text("CARD", "Hazel"));
    p.Channel = 0;
    p.TxDMA = decimal("TxDMA", 3);
    p.RxDMA = decimal("RxDMA", 1);
    p.TxBuffers = decimal("TxBuffers", 50);
    p.RxBuffers = decimal("RxBuffers", 100);
    p.TxBuffSize = decimal("TxBufferSize", 1024);
    p.RxBuffSize = decimal("RxBufferSize", 1024);
    p.DataBits = decimal("DataBits", 8);
    p.StopBits = decimal("StopBits", 1);
    p.RS_485 = text("RS-485", kFalse) == "true" ? 1 : 0;
    const std::string parity = text("Parity", "None");
    p.Parity = parity == "even" ? 3 : parity == "odd" ? 1 : 0;
    const std::string mode = text("Mode", "Full");
    p.Mode = mode == "int"    ? kModeInterrupt
             : mode == "half" ? kModeHalfDuplex
             : mode == "auto" ? kModeAutoInit
                              : kModeFullDuplex;
    p.LoopBack = text("LoopBack", kFalse) == "true" ? 1 : 0;
    p.TxClock = ClockCode(text("TxClock", "BRG"));
    p.RxClock = ClockCode(text("RxClock", "BRG"));
    p.Oscillator = Value(ini, section, "Osc", "");
    if (p.Oscillator.size() > kTextLimit) {
        p.Oscillator.resize(kTextLimit);
    }
    const std::string clock_x = text("ClockX", "X16");
    p.ClockX = kNotSet;
    for (int32_t multiplier : {1, 16, 32, 64}) {
        if (clock_x == Format("x%d", multiplier)) {
            p.ClockX = multiplier;
        }
    }
    p.Divisor = Hex(ini, section, "Divisor", 0x7E);
    p.RxTimeout = decimal("RxTimeout", 1000);
    p.TxTimeout = decimal("TxTimeout", 1000);
    p.BRGSource = text("BRGSource", "PCLK") == "rtxc" ? 1 : 0;
    p.Enabled = text("Enabled", kTrue) == "false" ? 0 : 1;
    p.UseNodeAddress = text("UseNodeAddress", kFalse) == "true" ? 1 : 0;
    // Written in hexadecimal, so read back in hexadecimal.
    p.SyncNodeAddress = Hex(ini, section, "NodeAddress", 0);
    const std::string dpll = text("DPLL", "NONE");
    p.Dpll = kDpllNrz;
    for (const EncodingName& encoding : kEncodings) {
        if (dpll == ToLower(encoding.name)) {
            p.Dpll = encoding.code;
        }
    }
    p.IdleState = text("IdleState", "FLAG") == "mark" ? 1 : 0;
    p.CrcPreset = text("CRCPre1", kTrue) == "false" ? 1 : 2;
    p.CrcUsed = text("CRCUsed", kTrue) == "false" ? 0 : 2;
    const std::string source = text("DPLLSource", "BRG");
    p.DPLLSource = source == "rtxc" ? 32 : source == "trxc" ? 128 : 16;
    p.AutoinitBuffSize = decimal("AutoinitBuffSize", 16384);
    p.Idleloop = decimal("Idleloop", 1);
    p.Minflags = decimal("Minflags", 1);
    p.Memory = Hex(ini, section, "Memory", 0xD0000);
    p.Interface = kNotSet;
    p.Protocol = kNotSet;
    p.TXCMode = kNotSet;
    p.DPLLDivisor = kNotSet;
}

// Sets one value; a value that cannot be stored as written (a line break in it) is recorded in
// `problem` and leaves the document as it was.
void Put(platform::ProfileDocument& ini, std::string_view section, std::string_view key,
         std::string_view value, std::string& problem) {
    if (const std::optional<std::string> bad = platform::ProfileValueProblem(value)) {
        problem += (problem.empty() ? "" : "; ") + std::string(section) + "\\" + std::string(key) +
                   ": " + *bad;
        return;
    }
    (void)ini.SetValue(section, key, value);
}

void WritePort(platform::ProfileDocument& ini, const std::string& section, const PortEntry& p,
               std::string& problem) {
    const auto put = [&](const char* key, const std::string& value) {
        Put(ini, section, key, value, problem);
    };
    const auto flag = [](int32_t value) { return std::string(value == 1 ? kTrue : kFalse); };
    const auto hex = [](int32_t value) { return Format("%X", static_cast<unsigned>(value)); };
    const auto dec = [](int32_t value) { return Format("%d", value); };
    put("Base", hex(p.BaseIO));
    put("CARD", CardText(p.Card));
    put("IRQ", dec(p.Interrupt));
    put("TxDMA", dec(p.TxDMA));
    put("RxDMA", dec(p.RxDMA));
    put("TxBufferSize", dec(p.TxBuffSize));
    put("RxBufferSize", dec(p.RxBuffSize));
    put("TxBuffers", dec(p.TxBuffers));
    put("RxBuffers", dec(p.RxBuffers));
    put("RS-485", flag(p.RS_485));
    put("Divisor", hex(p.Divisor));
    put("TxClock", ClockName(p.TxClock));
    put("RxClock", ClockName(p.RxClock));
    put("LoopBack", flag(p.LoopBack));
    put("Osc", p.Oscillator);
    put("UseNodeAddress", flag(p.UseNodeAddress));
    put("NodeAddress", hex(p.SyncNodeAddress));
    std::string dpll = "NRZ";
    for (const EncodingName& encoding : kEncodings) {
        if (encoding.code == p.Dpll) {
            dpll = encoding.name;
        }
    }
    put("DPLL", dpll);
    put("IdleState", p.IdleState == 1 ? "MARK" : "FLAGS");
    put("CRCPre1", p.CrcPreset == 1 ? kFalse : kTrue);
    put("DPLLSource", p.DPLLSource == 32 ? "RTXC" : p.DPLLSource == 128 ? "TRXC" : "BRG");
    put("AutoinitBuffSize", dec(p.AutoinitBuffSize));
    put("Idleloop", dec(p.Idleloop));
    put("Minflags", dec(p.Minflags));
    put("Memory", hex(p.Memory));
}

// The "386Enh" lines, or false when they would not fit the section buffer.
bool Read386Enh(const platform::ProfileDocument& ini, std::vector<std::string>& lines) {
    lines = ini.SectionLines(k386Enh);
    size_t size = 0;
    for (const std::string& line : lines) {
        size += line.size() + 1;
    }
    return size < kSectionTooLarge;
}

int32_t DriverTypeOfSection(std::string_view section) {
    for (int32_t type = 0; type < kDriverTypeCount; ++type) {
        if (EqualsNoCase(section, DriverInfo(type).name)) {
            return type;
        }
    }
    return -1;
}

}  // namespace

bool HasDeviceLine(const platform::ProfileDocument& ini, int32_t driver_type) {
    std::vector<std::string> lines;
    if (!Read386Enh(ini, lines)) {
        return false;
    }
    const std::string_view file = DriverInfo(driver_type).device_file;
    return std::any_of(lines.begin(), lines.end(), [&](const std::string& line) {
        return line.find(file) != std::string::npos;
    });
}

bool SetDeviceLine(platform::ProfileDocument& ini, int32_t driver_type, bool present) {
    std::vector<std::string> lines;
    if (!Read386Enh(ini, lines)) {
        return false;
    }
    const std::string_view file = DriverInfo(driver_type).device_file;
    std::vector<std::string> rebuilt;
    bool found = false;
    for (const std::string& line : lines) {
        const bool names_file = line.find(file) != std::string::npos;
        found = found || names_file;
        if (!names_file || present) {
            rebuilt.push_back(line);
        }
    }
    if (present && !found) {
        rebuilt.push_back(kDevicePrefix + std::string(file));
    }
    for (const std::string& line : rebuilt) {
        if (platform::ProfileSectionLineProblem(line)) {
            return false;  // a stored line that cannot be written back: leave the section alone
        }
    }
    (void)ini.ReplaceSection(k386Enh, rebuilt);
    return true;
}

int32_t ReadIniConfig(ConfigModel& model, const platform::ProfileDocument& ini) {
    ClearModel(model);
    for (const std::string& section : ini.SectionNames()) {
        const int32_t type = DriverTypeOfSection(section);
        if (type < 0 || model.driver_count >= kMaxDrivers) {
            continue;
        }
        bool seen = false;
        for (int32_t d = 0; d < model.driver_count; ++d) {
            seen = seen || model.driver(d).driver_type == type;
        }
        if (seen) {
            continue;
        }
        const DriverTypeInfo& info = DriverInfo(type);
        DriverEntry entry;
        entry.name = info.name;
        entry.description = type == kWyvel32 ? kWyvel32IniDescription : info.description;
        entry.driver_type = type;
        entry.port_count = 1;
        entry.max_ports = type == kFendar5 ? 1 : 0;
        entry.Start = HasDeviceLine(ini, type) ? kStartEnabled : kStartDisabled;
        ReadPort(ini, section, entry.ports[0]);
        model.driver(model.driver_count++) = std::move(entry);
    }
    return model.driver_count;
}

std::string WriteIniConfig(const ConfigModel& model, int32_t driver_count,
                           platform::ProfileDocument& ini) {
    driver_count = std::clamp(driver_count, 0, kMaxDrivers);
    std::string problem;
    for (const std::string& section : ini.SectionNames()) {
        const int32_t type = DriverTypeOfSection(section);
        if (type < 0) {
            continue;
        }
        bool in_model = false;
        for (int32_t d = 0; d < driver_count; ++d) {
            in_model = in_model || model.driver(d).driver_type == type;
        }
        if (!in_model) {
            (void)ini.RemoveSection(section);
            (void)SetDeviceLine(ini, type, false);
        }
    }
    for (int32_t d = 0; d < driver_count; ++d) {
        const DriverEntry& entry = model.driver(d);
        const std::string section(DriverInfo(entry.driver_type).name);
        Put(ini, section, kLogFileKey, kLogFileValue, problem);
        (void)SetDeviceLine(ini, entry.driver_type, entry.Start == kStartEnabled);
        if (entry.port_count > 0) {
            WritePort(ini, section, entry.ports[0], problem);
        }
    }
    return problem;
}

}  // namespace qorval::applet
