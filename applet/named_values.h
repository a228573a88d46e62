// The values of a driver and its ports by the names the registry store gives them, for the
// command line: how each is shown, whether the property sheet lets the user change it for the
// selected port, and how a typed value goes through the same rule the sheet's control applies.
// No rule lives here; each value is routed to the engine function its page calls.
#pragma once

#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "applet/config_model.h"

namespace qorval::applet {

// One stored value as `qorval show` prints it.
using NamedValue = std::pair<std::string, std::string>;

// The values the store writes for driver `d` (Start, ErrorControl, Type, Group, as stored) and
// for its port `p`, in the order the registry store writes them. Numbers are shown in decimal
// (-1 for a value that is not set), the base and memory addresses in hexadecimal ("0x300"),
// texts as stored.
std::vector<NamedValue> DriverValues(const ConfigModel& model, int32_t d);
std::vector<NamedValue> PortValues(const ConfigModel& model, int32_t d, int32_t p);

enum class ChangeResult {
    Accepted,  // the model holds the new value
    Refused,   // not a value this name takes, or the sheet's rule refused it; `why` says why
};
struct ValueChange {
    ChangeResult result = ChangeResult::Accepted;
    std::string why;
};

// Sets one value of the selected port (or of its driver, for Start) as the sheet would: the
// control must be one the sheet lets the user change for this selection; a list takes one of its
// codes or item texts (without regard to case), an edit field a whole number (hexadecimal for
// BaseIO and Memory, with or without "0x"); then the control's rule runs, and what it would
// tell the sheet's user becomes `why`.
ValueChange SetNamedValue(ConfigModel& model, std::string_view name, std::string_view text);

}  // namespace qorval::applet
