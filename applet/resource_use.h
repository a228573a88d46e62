// Look-ups over the whole model shared by the field, add-time and OK-time rules.
#pragma once

#include <cstdint>
#include <optional>
#include <string>

#include "applet/config_model.h"

namespace qorval::applet {

struct PortRef {
    int32_t driver = 0;
    int32_t port = 0;
};

// The first port of any driver, enabled or not, at base address `base`.
std::optional<PortRef> FindBaseUser(const ConfigModel& model, int32_t base);

// The first enabled port of any driver using interrupt `irq`.
std::optional<PortRef> FindEnabledIrqUser(const ConfigModel& model, int32_t irq);

// The reason `mode` is refused for a port of `entry`, or an empty text when it is allowed:
// Fendar5 takes neither interrupt mode nor, on Windows NT, full duplex.
std::string PortModeRefusal(const ConfigModel& model, const DriverEntry& entry, int32_t mode);

// Calls `visit(driver, port)` for every port in use, in driver and port order, until it
// returns false.
template <typename Visit>
void ForEachPort(const ConfigModel& model, Visit&& visit) {
    for (int32_t d = 0; d < model.driver_count && d < kMaxDrivers; ++d) {
        const DriverEntry& entry = model.driver(d);
        for (int32_t p = 0; p < entry.port_count && p < kMaxPortsPerDriver; ++p) {
            if (!visit(d, p)) {
                return;
            }
        }
    }
}

}  // namespace qorval::applet
