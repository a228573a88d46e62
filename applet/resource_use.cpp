#include "applet/resource_use.h"

namespace qorval::applet {

namespace {

constexpr const char* kNoInterruptMode = "Interrupt mode is not supported by the\n";
constexpr const char* kNoFullDuplex = "Full Duplex mode is not supported by the\n";
constexpr const char* kDriverSuffix = " driver.";

template <typename Match>
std::optional<PortRef> FindPort(const ConfigModel& model, Match&& match) {
    std::optional<PortRef> found;
    ForEachPort(model, [&](int32_t d, int32_t p) {
        if (match(model.port(d, p))) {
            found = PortRef{d, p};
            return false;
        }
        return true;
    });
    return found;
}

}  // namespace

std::optional<PortRef> FindBaseUser(const ConfigModel& model, int32_t base) {
    return FindPort(model, [base](const PortEntry& port) { return port.BaseIO == base; });
}

std::optional<PortRef> FindEnabledIrqUser(const ConfigModel& model, int32_t irq) {
    return FindPort(
        model, [irq](const PortEntry& port) { return port.Enabled == 1 && port.Interrupt == irq; });
}

std::string PortModeRefusal(const ConfigModel& model, const DriverEntry& entry, int32_t mode) {
    if (entry.driver_type != kFendar5) {
        return {};
    }
    if (mode == kModeInterrupt) {
        return kNoInterruptMode + entry.description + kDriverSuffix;
    }
    if (mode == kModeFullDuplex && !model.platform_win9x) {
        return kNoFullDuplex + entry.description + kDriverSuffix;
    }
    return {};
}

}  // namespace qorval::applet
