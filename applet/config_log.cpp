#include "applet/config_log.h"

#include <cstdio>
#include <initializer_list>
#include <span>

#include "applet/jumper_text.h"
#include "applet/text_util.h"
#include "platform/atomic_file.h"

namespace qorval::applet {

namespace {

constexpr const char* kLogHeading = "-- Configuration data for the ";
constexpr const char* kWin9xHeading = "Windows 95/98 Qorval driver --\r\n\r\n";
constexpr const char* kNtHeading = "Windows NT Qorval driver --\r\n\r\n";
constexpr const char* kDriverHeading = "SETTINGS FOR THE %s DRIVER:\r\n";
constexpr const char* kEol = "\r\n";

struct Name {
    int32_t code;
    const char* text;
};

// "<prefix><name of value>" or "<prefix>Unknown (<field>=%u)".
std::string Named(const char* prefix, int32_t value, std::span<const Name> names,
                  const char* field) {
    for (const Name& name : names) {
        if (name.code == value) {
            return std::string(prefix) + name.text + kEol;
        }
    }
    return std::string(prefix) + Format("Unknown (%s=%u)", field, static_cast<unsigned>(value)) +
           kEol;
}

std::string Named(const char* prefix, int32_t value, std::initializer_list<Name> names,
                  const char* field) {
    return Named(prefix, value, std::span<const Name>(names.begin(), names.size()), field);
}

std::string Line(const char* format, uint32_t value) {
    return Format(format, value) + kEol;
}

std::string YesNo(const char* prefix, bool yes, const char* on, const char* off) {
    return std::string(prefix) + (yes ? on : off) + kEol;
}

std::string DmaLine(const char* prefix, int32_t channel) {
    return channel == kNotSet
               ? std::string(prefix) + "None" + kEol
               : std::string(prefix) + Format("%u", static_cast<unsigned>(channel)) + kEol;
}

constexpr Name kClockNames[] = {{0, "RXC"}, {1, "TXC"}, {2, "BRG"}, {3, "DPLL"}};

std::string PortLines(const PortEntry& p) {
    const auto u = [](int32_t v) { return static_cast<uint32_t>(v); };
    std::string out = std::string("\t") + p.name + ":" + kEol;
    if (IsKnownCard(p.Card)) {
        out += std::string("\t\tCard:  ") + std::string(CardModelName(p.Card)) + kEol;
    } else {
        out += std::string("\t\tCard:  ") + Format("Unknown (dwCard=%u)", u(p.Card)) + kEol;
    }
    out += Line("\t\tBase IO:  %X", u(p.BaseIO));
    out += Line("\t\tInterrupt:  %u", u(p.Interrupt));
    out += Named("\t\tChannel:  ", p.Channel, {{0, "A"}, {1, "B"}}, "dwChannel");
    out += YesNo("\t\tEnabled:  ", p.Enabled != 0, "Yes", "No");
    out += DmaLine("\t\tTx DMA:  ", p.TxDMA);
    out += DmaLine("\t\tRx DMA:  ", p.RxDMA);
    out += Named("\t\tMode:  ", p.Mode,
                 {{0, "Full"}, {1, "Half"}, {2, "Interrupt"}, {4, "Auto Init."}}, "dwMode");
    out += Line("\t\tNumber of Tx Buffers:  %u", u(p.TxBuffers));
    out += Line("\t\tNumber of Rx Buffers:  %u", u(p.RxBuffers));
    out += Line("\t\tSize of Tx Buffers:  %u Bytes", u(p.TxBuffSize));
    out += Line("\t\tSize of Rx Buffers:  %u Bytes", u(p.RxBuffSize));
    out += Line("\t\tData Bits:  %u", u(p.DataBits));
    out += Line("\t\tStop Bits:  %u", u(p.StopBits));
    out += Named("\t\tParity:  ", p.Parity, {{0, "None"}, {1, "Odd"}, {3, "Even"}}, "dwParity");
    out += YesNo("\t\tRS-485 Mode:  ", p.RS_485 != 0, "On", "Off");
    out += "\t\tOscillator:  " + p.Oscillator + kEol;
    out += Format("\t\tClock Mode:  X%d", p.ClockX) + kEol;
    out += Line("\t\tDivisor:  %u", u(p.Divisor));
    out += Named("\t\tTx Clock:  ", p.TxClock, kClockNames, "dwTxClock");
    out += Named("\t\tRx Clock:  ", p.RxClock, kClockNames, "dwRxClock");
    out += Named("\t\tBRG Source:  ", p.BRGSource, {{0, "PCLK"}, {1, "RTXC"}}, "dwBRGSource");
    out += YesNo("\t\tLoopBack:  ", p.LoopBack != 0, "On", "Off");
    out += Line("\t\tTx Timeout:  %u", u(p.TxTimeout));
    out += Line("\t\tRx Timeout:  %u", u(p.RxTimeout));
    out += Line("\t\tCRC Preset:  %u", u(p.CrcPreset) - 1u);
    out += Named("\t\tDPLL Mode:  ", p.Dpll,
                 {{1, "NRZ (External clock)"},
                  {2, "NRZI"},
                  {4, "FM0"},
                  {8, "FM1"},
                  {64, "Manchester"},
                  {129, "DiffBiPhaseLevel"},
                  {130, "NRZB"},
                  {131, "NRZI Mark"}},
                 "dwDPLL");
    out += YesNo("\t\tUse Node Addressing:  ", p.UseNodeAddress != 0, "Yes", "No");
    out += Line("\t\tNode Address:  %u", u(p.SyncNodeAddress));
    out += Named("\t\tIdle State:  ", p.IdleState,
                 {{0, "Flags"},
                  {1, "Mark"},
                  {2, "Space"},
                  {3, "1/0 Alternating"},
                  {4, "Mark/Space Alternating"}},
                 "dwIdleState");
    out += Named("\t\tCRC Error Checking:  ", p.CrcUsed,
                 {{0, "Disabled"}, {1, "32 bit CRC"}, {2, "16 bit CRC"}}, "dwCRCUsed");
    out += Named("\t\tDPLL Source:  ", p.DPLLSource, {{16, "BRG"}, {32, "RTXC"}, {128, "TRXC"}},
                 "dwDPLLSource");
    out += Line("\t\tAuto-Init buffer size:  %u", u(p.AutoinitBuffSize));
    out += Line("\t\tIdle Loop:  %u", u(p.Idleloop));
    out += Line("\t\tMinFlags:  %u", u(p.Minflags));
    out += Line("\t\tMemory:    %X", u(p.Memory));
    out += Line("\t\tTXCMode:   %X", u(p.TXCMode));
    out += Line("\t\tDPLLDivisor: %X", u(p.DPLLDivisor));
    out += Line("\t\tProtocol:  %X", u(p.Protocol));
    out += Line("\t\tInterface: %X", u(p.Interface));
    out += kEol;
    return out;
}

}  // namespace

std::string ComposeDriverJumpers(const DriverEntry& driver) {
    std::string out;
    for (const CardRun& card : CardsByType(driver)) {
        const PortEntry& first = driver.ports[static_cast<size_t>(card.first_port)];
        out += CardHeading(CardModelName(first.Card), driver.description);
        out += ComposeJumperText(JumperInputForCard(driver, card));
        out += kEol;
    }
    return out;
}

std::string ComposeJumperPage(const ConfigModel& model) {
    std::string out;
    for (int32_t d = 0; d < model.driver_count && d < kMaxDrivers; ++d) {
        out += ComposeDriverJumpers(model.driver(d));
    }
    return out;
}

std::string ComposeConfigLog(const ConfigModel& model) {
    std::string out =
        std::string(kLogHeading) + (model.platform_win9x ? kWin9xHeading : kNtHeading);
    for (int32_t d = 0; d < model.driver_count && d < kMaxDrivers; ++d) {
        const DriverEntry& driver = model.driver(d);
        out += Format(kDriverHeading, driver.description.c_str());
        for (int32_t p = 0; p < driver.port_count && p < kMaxPortsPerDriver; ++p) {
            out += PortLines(driver.ports[static_cast<size_t>(p)]);
        }
        out += kEol;
        out += ComposeDriverJumpers(driver);
        out += kEol;
    }
    return out;
}

bool WriteConfigLog(const ConfigModel& model, const std::filesystem::path& file) {
    std::string error;
    return platform::WriteFileAtomically(file, ComposeConfigLog(model), error);
}

}  // namespace qorval::applet
