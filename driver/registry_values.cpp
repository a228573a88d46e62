#include "driver/registry_values.h"

#include <cstdio>

namespace wyvel32 {

namespace {

using PC = PortConfig;

// Values read at start and at open, with their defaults.
constexpr ReadValue kReadValues[] = {
    {"Interface", &PC::Interface, std::nullopt},  // line interface code
    {"TXCMode", &PC::TXCMode, std::nullopt},      // 1 TxC input, 2 TxC output
    {"Divisor", &PC::Divisor, 126},               // BRG0 time constant
    {"Dpll", &PC::Dpll, 1},                       // line encoding and DPLL use
    {"DpllDivisor", &PC::DpllDivisor, std::nullopt},
    {"DpllSource", &PC::DpllSource, std::nullopt},
    {"CRCPreset", &PC::CRCPreset, 1},           // 1 zeros, 2 ones
    {"Protocol", &PC::Protocol, std::nullopt},  // always replaced by 0 (HDLC)
    {"IdleState", &PC::IdleState, 0},           // line state between frames
    {"RxBuffSize", &PC::RxBuffSize, 1024},
    {"TxBuffSize", &PC::TxBuffSize, 1024},
    {"RxBuffers", &PC::RxBuffers, 100},
    {"TxBuffers", &PC::TxBuffers, 100},
    {"LoopBack", &PC::LoopBack, 0},                     // internal local loopback
    {"ByteSwapData", &PC::ByteSwapData, std::nullopt},  // nonzero: MSB first
    {"TxClock", &PC::TxClock, 2},                       // 0 RxC, 1 TxC, 2 BRG0, 3 DPLL
    {"RxClock", &PC::RxClock, 0},
    {"SyncNodeAddress", &PC::SyncNodeAddress, 0},
    {"UseNodeAddress", &PC::UseNodeAddress, std::nullopt},
    {"CrcUsed", &PC::CrcUsed, std::nullopt},      // 1 CRC-32, 2 CRC-16, else none
    {"BRGSource", &PC::BRGSource, std::nullopt},  // BRG0 input clock
    {"RS_485", &PC::RS_485, std::nullopt},        // RTS left to the transmitter
    {"MinFlags", &PC::MinFlags, 1},               // opening flags
    {"Enabled", &PC::Enabled, std::nullopt},      // 0: logged, still started
    {"DMAThrottle", &PC::DMAThrottle, 0},         // burst/dwell control
};

// The 34 values a complete port key holds, in checking order.
constexpr CheckValue kCheckValues[] = {
    {"BaseIO", nullptr},
    {"Interrupt", nullptr},
    {"Memory", nullptr},
    {"Card", nullptr},  // read into the 8-bit Card field by the check itself
    {"BusType", &PC::BusType},
    {"BusNum", &PC::BusNum},
    {"PCIDevice", &PC::PCIDevice},
    {"PCIFunction", &PC::PCIFunction},
    {"Interface", &PC::Interface},
    {"TXCMode", &PC::TXCMode},
    {"Divisor", &PC::Divisor},
    {"Dpll", &PC::Dpll},
    {"CRCPreset", &PC::CRCPreset},
    {"Protocol", &PC::Protocol},
    {"RxBuffSize", &PC::RxBuffSize},
    {"TxBuffSize", &PC::TxBuffSize},
    {"LoopBack", &PC::LoopBack},
    {"TxClock", &PC::TxClock},
    {"RxClock", &PC::RxClock},
    {"SyncNodeAddress", &PC::SyncNodeAddress},
    {"RxBuffers", &PC::RxBuffers},
    {"TxBuffers", &PC::TxBuffers},
    {"IdleState", &PC::IdleState},
    {"Oscillator", nullptr, true},
    {"CrcUsed", &PC::CrcUsed},
    {"BRGSource", &PC::BRGSource},
    {"RS_485", &PC::RS_485},
    {"DpllSource", &PC::DpllSource},
    {"UseNodeAddress", &PC::UseNodeAddress},
    {"MinFlags", &PC::MinFlags},
    {"DpllDivisor", &PC::DpllDivisor},
    {"ByteSwapData", &PC::ByteSwapData},
    {"Enabled", &PC::Enabled},
    {"DMAThrottle", &PC::DMAThrottle},
};

using DS = DefaultSource;

// The default set in writing order. Some names differ in letter case from the names read
// (CrcPreset, DPLLSource, DPLLDivisor, Minflags); the store matches names without regard to
// case, so they name the same values. Dpll is written twice, as the applet's layout does.
constexpr DefaultValue kDefaultValues[] = {
    {"BaseIO", DS::BaseIO},
    {"Channel", DS::ChannelLetter},
    {"Interrupt", DS::Interrupt},
    {"Memory", DS::Memory},
    {"IUSC", DS::IUSC},
    {"BusType", DS::Number, kBusTypePci},
    {"BusNum", DS::BusNum},
    {"PCIDevice", DS::PCIDevice},
    {"PCIFunction", DS::PCIFunction},
    {"Dpll", DS::Number, 1},
    {"ByteSwapData", DS::Number, 0},
    {"DMAThrottle", DS::Number, 0},
    {"Card", DS::Number, kCardTypePci},
    {"TxDMA", DS::Number, kNotSet},
    {"RxDMA", DS::Number, kNotSet},
    {"TxBuffSize", DS::Number, 1024},
    {"RxBuffSize", DS::Number, 1024},
    {"RxBuffers", DS::Number, 100},
    {"TxBuffers", DS::Number, 100},
    {"DataBits", DS::Number, 8},
    {"StopBits", DS::Number, 1},
    {"Parity", DS::Text, 0, "None"},
    {"RS_485", DS::Number, 0},
    {"Divisor", DS::Number, 126},
    {"Mode", DS::Number, 2},
    {"TxClock", DS::Number, 2},
    {"RxClock", DS::Number, 0},
    {"BRGSource", DS::Number, 0},
    {"LoopBack", DS::Number, 0},
    {"Oscillator", DS::Text, 0, "20.000"},
    {"ClockX", DS::Text, 0, "X1"},
    {"RxTimeout", DS::Number, 50000},
    {"TxTimeout", DS::Number, 50000},
    {"Enabled", DS::Number, 1},
    {"UseNodeAddress", DS::Number, 0},
    {"SyncNodeAddress", DS::Number, 0},
    {"Dpll", DS::Number, 1},
    {"IdleState", DS::Number, 0},
    {"CrcPreset", DS::Number, 2},
    {"CrcUsed", DS::Number, 1},
    {"DPLLSource", DS::Number, 16},
    {"AutoinitBuffSize", DS::Number, 16384},
    {"Idleloop", DS::Number, 1},
    {"Minflags", DS::Number, 1},
    {"Protocol", DS::Number, kNotSet},
    {"Interface", DS::Number, 1},
    {"TXCMode", DS::Number, kNotSet},
    {"DPLLDivisor", DS::Number, 8},
};

}  // namespace

std::span<const ReadValue> PortReadValues() {
    return kReadValues;
}
std::span<const CheckValue> PortCheckValues() {
    return kCheckValues;
}
std::span<const DefaultValue> DefaultPortValues() {
    return kDefaultValues;
}

char ChannelLetter(uint8_t port_number) {
    const unsigned index = port_number == 0 ? 0 : (port_number - 1u) % 26u;
    return static_cast<char>('A' + index);
}

std::string ParametersKeyPath(std::string_view service_key) {
    std::string path(service_key);
    path += "\\Parameters";
    return path;
}

std::string PortKeyPath(std::string_view service_key, uint8_t port_number) {
    char name[16];
    std::snprintf(name, sizeof name, "\\Port%03u", static_cast<unsigned>(port_number));
    return ParametersKeyPath(service_key) + name;
}

}  // namespace wyvel32
