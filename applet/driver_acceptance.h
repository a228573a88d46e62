// What the wyvel32 driver will do with the 16C32 ports of a configuration about to be saved: it
// reads each port key when it starts the port, rewrites a key it does not keep with its default
// set, and does not start a port whose values it refuses. The tool applies the driver's own rules
// (driver/port_key.h, driver/port_value_rules.h) to the registry as it would be after the save,
// so the user learns before anything is written which value of which port would not reach it.
#pragma once

#include <string>
#include <string_view>
#include <vector>

#include "applet/config_model.h"
#include "applet/ok_checks.h"
#include "platform/registry.h"
#include "platform/user_messages.h"

namespace qorval::applet {

// One port the driver would not run as configured.
struct PortObjection {
    int32_t driver = 0;    // index of the Wyvel32 entry in the model
    int32_t port = 0;      // index of the port in that entry
    bool refused = false;  // true: the driver refuses a value; false: the settings are discarded
    std::string value;     // the value refused, when `refused`
    std::string text;      // "Port001: ..."
};

// Judges every port of the Wyvel32 entry of `model` against `staged`, the registry as it will be
// after the save (ConfigStore::Stage).
std::vector<PortObjection> JudgeWyvel32Ports(const ConfigModel& model, platform::Registry& staged);

// The OK-time step: values the driver refuses are an error naming each (nothing is saved, the
// first such port is selected); settings the driver would discard are asked about (Yes saves
// anyway, No goes back).
[[nodiscard]] CheckResult CheckDriverAcceptance(ConfigModel& model, platform::Registry& staged,
                                                ui::UserMessages& user);

}  // namespace qorval::applet
