// The plain edits of the property pages: fields that take the chosen or typed value without
// a rule of their own. The fields with rules are in field_rules.h.
#pragma once

#include <cstdint>
#include <string_view>

#include "applet/config_model.h"

namespace qorval::applet {

// "Driver is enabled": Start 3 or 4 for the selected driver.
void SetDriverEnabled(ConfigModel& model, bool enabled);

// "Port is enabled": Enabled 1 or 0 for the selected port.
void SetPortEnabled(ConfigModel& model, bool enabled);

// "Clock Mode": the list text "X1".."X64" with its leading "X" read as "0".
void ApplyClockModeText(ConfigModel& model, std::string_view text);

// "Oscillator Value": the chosen text as it is shown.
void ApplyOscillatorText(ConfigModel& model, std::string_view text);

// Edit fields whose typed text is read as a decimal number and stored as it is: Divisor,
// Node Address, Tx Timeout, A-Init Buff Size, IdleLoop, MinFlags; lists Data Bits and
// Stop Bits.
void ApplyDecimalText(ConfigModel& model, int32_t PortEntry::*field, std::string_view text);

}  // namespace qorval::applet
