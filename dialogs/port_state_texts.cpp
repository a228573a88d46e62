#include "dialogs/port_state_texts.h"

#include <algorithm>
#include <charconv>
#include <cstdio>
#include <cstring>
#include <span>

#include "dialogs/dialog_texts.h"
#include "dialogs/port_names.h"

namespace qorval::dialogs {
namespace {

// A value of a list field and its text.
struct NamedValue {
    uint8_t value;
    std::string_view name;
};

constexpr NamedValue kParityNames[] = {{0, "None"}, {1, "Odd"}, {3, "Even"}};
constexpr NamedValue kCrcPresetNames[] = {{1, "0"}, {2, "1"}};
constexpr NamedValue kDpllNames[] = {{1, "NRZ"}, {2, "NRZI"}, {4, "FM0"}, {8, "FM1"},
                                     {64, "MCHSTR"}};
constexpr NamedValue kClockNames[] = {{0, "RXC"}, {1, "TXC"}, {2, "BRG"}, {3, "DPLL"}};
constexpr NamedValue kBrgSourceNames[] = {{0, "PCLK"}, {1, "RTXC"}};
constexpr std::string_view kOn = "ON", kOff = "OFF";

// What OK writes for a text that is neither a name of the list nor a number.
constexpr uint8_t kParityOther = 0, kCrcPresetOther = 1, kDpllOther = 8, kClockOther = 2,
                  kBrgSourceOther = 0;

template <typename... Args>
std::string Format(const char* format, Args... args) {
    char buffer[32];
    std::snprintf(buffer, sizeof buffer, format, args...);
    return buffer;
}

std::string Decimal(uint32_t value) {
    return Format("%u", value);
}

std::string NameOf(std::span<const NamedValue> names, uint8_t value) {
    for (const NamedValue& n : names) {
        if (n.value == value) {
            return std::string(n.name);
        }
    }
    return Decimal(value);
}

std::string ChannelText(uint16_t channel) {
    switch (channel) {
        case 0:
            return "A";
        case 1:
            return "B";
        default:
            return Decimal(channel);
    }
}

std::string RunModeText(uint16_t mode) {
    switch (mode) {
        case 0:
            return "Full";
        case 1:
            return "Half";
        case 2:
            return "Int";
        case 4:
            return "Auto Init";
        default:
            return Decimal(mode);
    }
}

std::string OscillatorText(const PortInfo& info) {
    constexpr size_t kCharacters = 10;
    const char* text = info.oscillator;
    const size_t length = strnlen(text, kCharacters);
    std::string shown(text, length);
    shown.resize(kCharacters, ' ');  // "%-10s"
    return shown;
}

bool IsNumber(std::string_view text) {
    return !text.empty() && std::all_of(text.begin(), text.end(),
                                        [](char c) { return c >= '0' && c <= '9'; });
}

// A decimal text as the edit fields read it: its leading digits (none: 0), at most `max`.
uint32_t ReadDecimal(std::string_view text, uint32_t max) {
    uint64_t value = 0;
    for (char c : text) {
        if (c < '0' || c > '9') {
            break;
        }
        value = std::min<uint64_t>(value * 10 + static_cast<uint64_t>(c - '0'), max);
    }
    return static_cast<uint32_t>(value);
}

// A list text: a name of the list, a number (a value outside the list as it was shown), or
// anything else, which takes `other`.
uint8_t ReadNamed(std::string_view text, std::span<const NamedValue> names, uint8_t other) {
    for (const NamedValue& n : names) {
        if (n.name == text) {
            return n.value;
        }
    }
    return IsNumber(text) ? static_cast<uint8_t>(ReadDecimal(text, 0xFF)) : other;
}

// Leaves `field` as the driver has it while the text still shows that it was never read.
template <typename Field, typename Read>
void Take(const std::string& text, Field& field, Read read) {
    if (text != text::kNotAvailable) {
        field = static_cast<Field>(read(text));
    }
}

// The oscillator text in MHz as it comes from the driver: after leading blanks, its digits with
// at most one decimal point (none: 0). Read the same in every locale; no sign, exponent or
// hexadecimal form, so a malformed text cannot give a negative or an endless rate.
double ReadMegahertz(std::string_view text) {
    const size_t start = std::min(text.find_first_not_of(' '), text.size());
    size_t end = start;
    bool point = false;
    for (; end < text.size(); ++end) {
        const char c = text[end];
        if (c == '.' && !point) {
            point = true;
        } else if (c < '0' || c > '9') {
            break;
        }
    }
    double value = 0;
    std::from_chars(text.data() + start, text.data() + end, value, std::chars_format::fixed);
    return value;
}

// "%.4f" with a decimal point whatever the locale.
std::string FourDecimals(double value) {
    char buffer[64];
    const auto [end, error] =
        std::to_chars(buffer, buffer + sizeof buffer, value, std::chars_format::fixed, 4);
    return error == std::errc() ? std::string(buffer, end) : std::string("0.0000");
}

}  // namespace

const std::array<InfoFieldSpec, kInfoFieldCount>& InfoFields() {
    static const std::array<InfoFieldSpec, kInfoFieldCount> fields = {{
        {"Base IO:", "baseIo"},
        {"Tx DMA:", "txDma"},
        {"Rx DMA:", "rxDma"},
        {"Hardware Int:", "hardwareInt"},
        {"Tx Frame Size:", "txFrameSize"},
        {"Rx Frame Size:", "rxFrameSize"},
        {"Tx Frames:", "txFrames"},
        {"Rx Frames:", "rxFrames"},
        {"Card:", "card"},
        {"Channel:", "channel"},
        {"Run Mode:", "runMode"},
        {"Oscillator:", "oscillator"},
    }};
    return fields;
}

const std::array<StateFieldSpec, kStateFieldCount>& StateFields() {
    static const std::array<StateFieldSpec, kStateFieldCount> fields = {{
        {"RxTimeout:", "rxTimeout", 0, {}, 0xFFFFFFFF},
        {"TxTimeout:", "txTimeout", 1, {}, 0xFFFFFFFF},
        {"Divisor:", "divisor", 4, {}, 0xFFFF},
        {"ClockX:", "clockX", 5, {"X1", "X16", "X32", "X64"}, 0},
        {"Databits:", "databits", 6, {"5", "6", "7", "8"}, 0},
        {"Stopbits:", "stopbits", 7, {"1", "2"}, 0},
        {"Parity", "parity", 8, {"None", "Even", "Odd"}, 0},
        {"Node Add:", "nodeAdd", 9, {}, 0xFF},
        {"CRC Preset", "crcPreset", 10, {"1", "0"}, 0},
        {"DPLL", "dpll", 11, {"NRZ", "NRZI", "FM0", "FM1", "MCHSTR"}, 0},
        {"TxClock", "txClock", 12, {"TXC", "RXC", "BRG", "DPLL"}, 0},
        {"RxClock", "rxClock", 13, {"TXC", "RXC", "BRG", "DPLL"}, 0},
        {"BRG Source", "brgSource", 14, {"PCLK", "RTXC"}, 0},
        {"Loopback", "loopback", 15, {kOff, kOn}, 0},
        {"RS485", "rs485", 16, {kOff, kOn}, 0},
    }};
    return fields;
}

InfoTexts UnreadInfoTexts() {
    InfoTexts texts;
    texts.fill(text::kNotAvailable);
    return texts;
}

StateTexts UnreadStateTexts() {
    StateTexts texts;
    texts.fill(text::kNotAvailable);
    return texts;
}

InfoTexts FormatPortInfo(const PortInfo& info) {
    InfoTexts t;
    t[kBaseIo] = Format("%X", static_cast<unsigned>(info.ioBase));
    t[kTxDma] = Decimal(info.txDmaChannel);
    t[kRxDma] = Decimal(info.rxDmaChannel);
    t[kHardwareInt] = Decimal(info.irq);
    t[kTxFrameSize] = Decimal(info.maxTxFrame);
    t[kRxFrameSize] = Decimal(info.maxRxFrame);
    t[kTxFrames] = Decimal(info.txBuffers);
    t[kRxFrames] = Decimal(info.rxBuffers);
    t[kCard] = CardName(info.cardType);
    t[kChannel] = ChannelText(info.channel);
    t[kRunMode] = RunModeText(info.runMode);
    t[kOscillator] = OscillatorText(info);
    return t;
}

StateTexts FormatPortState(const PortState& s) {
    StateTexts t;
    t[kRxTimeout] = Decimal(s.rxTimeout);
    t[kTxTimeout] = Decimal(s.txTimeout);
    t[kDivisor] = Decimal(s.divisor);
    t[kClockX] = "X" + Decimal(s.clockMultiplier);
    t[kDatabits] = Decimal(s.dataBits);
    t[kStopbits] = Decimal(s.stopBits);
    t[kParity] = NameOf(kParityNames, s.parity);
    t[kNodeAdd] = Decimal(s.nodeAddress);
    t[kCrcPreset] = NameOf(kCrcPresetNames, s.crcPreset);
    t[kDpll] = NameOf(kDpllNames, s.dpll);
    t[kTxClock] = NameOf(kClockNames, s.txClock);
    t[kRxClock] = NameOf(kClockNames, s.rxClock);
    t[kBrgSource] = NameOf(kBrgSourceNames, s.brgSource);
    t[kLoopback] = std::string(s.loopback != 0 ? kOn : kOff);
    t[kRs485] = std::string(s.rs485 != 0 ? kOn : kOff);
    return t;
}

bool FieldEnabled(StateField field, uint32_t capabilityMask) {
    return (capabilityMask >> StateFields()[field].capabilityBit) & 1U;
}

std::string DataRateText(const InfoTexts& info, const StateTexts& state) {
    const double f = ReadMegahertz(info[kOscillator]) * 1000000.0;
    // The divisor OK would write: the text's digits, at most the field's largest value.
    const double d = ReadDecimal(state[kDivisor], StateFields()[kDivisor].maxValue) + 2.0;
    const std::string& clockX = state[kClockX];
    double m = clockX == "X64" ? 64 : clockX == "X32" ? 32 : clockX == "X16" ? 16 : 1;
    if (state[kTxClock] == "DPLL") {
        const std::string& dpll = state[kDpll];
        if (dpll == "FM0" || dpll == "FM1" || dpll == "MCHSTR") {
            m = 16;
        } else if (dpll == "NRZI") {
            m = 32;
        }
    }
    double divisor = state[kBrgSource] != "PCLK" ? m : m * d * 2;
    const std::string& card = info[kCard];
    if (card == "Oak" || card == "Pine" || card == "Rowan") {
        divisor = d - 1;
    }
    // d is at least 2 and m at least 1: the divisor is never 0.
    return FourDecimals(f / divisor);
}

PortState BuildPortState(const StateTexts& t, const PortState& driverRecord) {
    PortState s = driverRecord;
    const auto& fields = StateFields();
    auto decimal = [&](StateField f) {
        return [max = fields[f].maxValue](const std::string& text) {
            return ReadDecimal(text, max);
        };
    };
    auto small = [](const std::string& text) { return ReadDecimal(text, 0xFF); };
    auto named = [](std::span<const NamedValue> names, uint8_t other) {
        return [names, other](const std::string& text) { return ReadNamed(text, names, other); };
    };
    auto onOff = [](const std::string& text) { return text == kOn ? 1 : 0; };

    Take(t[kRxTimeout], s.rxTimeout, decimal(kRxTimeout));
    Take(t[kTxTimeout], s.txTimeout, decimal(kTxTimeout));
    Take(t[kDivisor], s.divisor, decimal(kDivisor));
    Take(t[kNodeAdd], s.nodeAddress, decimal(kNodeAdd));
    Take(t[kClockX], s.clockMultiplier, [&](const std::string& text) {
        return small(text.starts_with('X') ? text.substr(1) : text);
    });
    Take(t[kDatabits], s.dataBits, small);
    Take(t[kStopbits], s.stopBits, small);
    Take(t[kParity], s.parity, named(kParityNames, kParityOther));
    Take(t[kTxClock], s.txClock, named(kClockNames, kClockOther));
    Take(t[kRxClock], s.rxClock, named(kClockNames, kClockOther));
    Take(t[kDpll], s.dpll, named(kDpllNames, kDpllOther));
    Take(t[kCrcPreset], s.crcPreset, named(kCrcPresetNames, kCrcPresetOther));
    Take(t[kBrgSource], s.brgSource, named(kBrgSourceNames, kBrgSourceOther));
    Take(t[kLoopback], s.loopback, onOff);
    Take(t[kRs485], s.rs485, onOff);
    return s;
}

}  // namespace qorval::dialogs
