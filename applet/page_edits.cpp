#include "applet/page_edits.h"

#include <string>

#include "applet/text_util.h"

namespace qorval::applet {

void SetDriverEnabled(ConfigModel& model, bool enabled) {
    model.driver(model.selected_driver).Start = enabled ? kStartEnabled : kStartDisabled;
}

void SetPortEnabled(ConfigModel& model, bool enabled) {
    model.selected().Enabled = enabled ? 1 : 0;
}

void ApplyClockModeText(ConfigModel& model, std::string_view text) {
    std::string number(text);
    if (!number.empty() && (number[0] == 'X' || number[0] == 'x')) {
        number[0] = '0';
    }
    model.selected().ClockX = ReadDecimal(number);
}

void ApplyOscillatorText(ConfigModel& model, std::string_view text) {
    model.selected().Oscillator = std::string(text);
}

void ApplyDecimalText(ConfigModel& model, int32_t PortEntry::*field, std::string_view text) {
    model.selected().*field = ReadDecimal(text);
}

}  // namespace qorval::applet
