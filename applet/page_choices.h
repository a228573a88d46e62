// The items of the property pages' drop-down lists: each a text with the stored code behind it.
// The pages show them; the command line takes the same codes or texts, so both offer the user
// exactly the same choices.
#pragma once

#include <cstdint>
#include <span>

#include "applet/config_model.h"

namespace qorval::applet {

struct Choice {
    const char* text;
    int32_t code;
};
using Choices = std::span<const Choice>;

// System Resources.
inline constexpr Choice kInterruptChoices[] = {{"2", 2},   {"3", 3},   {"4", 4},   {"5", 5},
                                               {"7", 7},   {"9", 9},   {"10", 10}, {"11", 11},
                                               {"12", 12}, {"15", 15}};
inline constexpr Choice kDmaChoices[] = {{"0", 0}, {"1", 1}, {"2", 2}, {"3", 3}, {"None", -1}};
inline constexpr Choice kPortModeChoices[] = {{"Interrupt", kModeInterrupt},
                                              {"Half Duplex", kModeHalfDuplex},
                                              {"Full Duplex", kModeFullDuplex},
                                              {"Auto-Init", kModeAutoInit}};

// Comm Settings.
inline constexpr Choice kDataBitsChoices[] = {{"5", 5}, {"6", 6}, {"7", 7}, {"8", 8}};
inline constexpr Choice kStopBitsChoices[] = {{"1", 1}, {"2", 2}};
inline constexpr Choice kParityChoices[] = {{"None", 0}, {"Even", 3}, {"Odd", 1}};
inline constexpr Choice kOnOffChoices[] = {{"On", 1}, {"Off", 0}};
inline constexpr Choice kClockModeChoices[] = {{"X1", 1}, {"X16", 16}, {"X32", 32}, {"X64", 64}};
// "Oscillator Value" stores the text itself.
inline constexpr const char* kOscillatorTexts[] = {
    "1.00000",  "1.22880",  "1.84320",  "2.00000",  "2.45760",  "3.68640",  "4.00000",
    "4.91520",  "5.00000",  "5.06880",  "6.00000",  "6.14400",  "7.37280",  "8.00000",
    "9.21600",  "9.83040",  "10.00000", "11.05920", "12.00000", "14.31818", "14.74560",
    "16.00000", "16.25700", "18.00000", "18.43200", "20.00000"};

// Clocking Options.
inline constexpr Choice kClockChoices[] = {
    {"TXC", kClockTxc}, {"RXC", kClockRxc}, {"BRG", kClockBrg}, {"DPLL", kClockDpll}};
inline constexpr Choice kDpllChoices[] = {{"DiffBiPhaseLevel", kDpllDiffBiPhaseLevel},
                                          {"FM0", kDpllFm0},
                                          {"FM1", kDpllFm1},
                                          {"NRZ (ext clk)", kDpllNrz},
                                          {"NRZI", kDpllNrzi},
                                          {"NRZI Mark", kDpllNrziMark},
                                          {"NRZB", kDpllNrzb},
                                          {"Manchester", kDpllManchester}};
inline constexpr Choice kBrgSourceChoices[] = {{"PCLK", 0}, {"RTXC", 1}};
inline constexpr Choice kDpllSourceChoices[] = {{"BRG", 16}, {"RTXC", 32}, {"TRXC", 128}};
inline constexpr Choice kDpllDivisorChoices[] = {{"8", 8}, {"16", 16}, {"32", 32}};
inline constexpr Choice kTxcModeChoices[] = {{"TxC Output", 0}, {"TxC Input", 1}, {"TxClock", -1}};

// Advanced.
inline constexpr Choice kCrcDetectionChoices[] = {{"Disabled", 0}, {"16 bit", 2}, {"32 bit", 1}};
inline constexpr Choice kCrcPresetChoices[] = {{"Preset to 0", 1}, {"Preset to 1", 2}};
inline constexpr Choice kIdleStateChoices[] = {{"1/0 Alternating", 3},
                                               {"Flags", 0},
                                               {"Mark", 1},
                                               {"M/S Alternating", 4},
                                               {"Space", 2}};
inline constexpr Choice kProtocolChoices[] = {{"HDLC", 0}, {"ASYNC", 1}};
inline constexpr Choice kInterfaceChoices[] = {{"EIA-530", 1},     {"EIA-530A", 20},
                                               {"RS-232", 2},      {"V.35", 4},
                                               {"RS485-TERM", 16}, {"RS485-NOTERM", 17}};

}  // namespace qorval::applet
