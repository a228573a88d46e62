// The whole-model checks run when the user presses OK. Each may ask the user to disable
// a conflicting port, change timeouts or go back and correct a field; only when all of
// them continue is the model stored.
#pragma once

#include <cstdint>

#include "applet/config_model.h"
#include "platform/user_messages.h"

namespace qorval::applet {

enum class SheetPage {
    Current,  // stay on the page that is showing
    DriverInfo,
    SystemResources,
    BufferInfo,
    CommSettings,
    ClockingOptions,
    Advanced,
    JumperSettings,
};

enum class FocusField { None, PortMode, TransmitDma, ReceiveDma, BaseAddress, Interrupt };

struct CheckResult {
    bool proceed = true;
    SheetPage page = SheetPage::Current;  // where the sheet goes when `proceed` is false
    FocusField field = FocusField::None;
    bool reloaded = false;       // the model was read from the store again: show it afresh
    bool store_changed = false;  // the store changed since it was read and nothing was saved
};

// Each check works on the whole model; on abort the offending port is selected.
[[nodiscard]] CheckResult CheckPortModes(ConfigModel& model, ui::UserMessages& user);
[[nodiscard]] CheckResult CheckDmaSettings(ConfigModel& model, ui::UserMessages& user);
[[nodiscard]] CheckResult CheckBaseConflicts(ConfigModel& model, ui::UserMessages& user);
[[nodiscard]] CheckResult CheckIrqConflicts(ConfigModel& model, ui::UserMessages& user);
[[nodiscard]] CheckResult RecommendTimeouts(ConfigModel& model, ui::UserMessages& user);

// The OK-time sequence: the five checks above in order, stopping at the first abort.
[[nodiscard]] CheckResult RunOkChecks(ConfigModel& model, ui::UserMessages& user);

// The timeouts recommended for a port at `rate` bits per second; false when the port's
// values give no recommendation.
struct Timeouts {
    uint32_t rx = 0;
    uint32_t tx = 0;
};
[[nodiscard]] bool RecommendedTimeouts(const PortEntry& port, double rate, Timeouts& out);

}  // namespace qorval::applet
