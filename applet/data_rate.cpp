#include "applet/data_rate.h"

#include <cstdlib>

namespace qorval::applet {

double ComputeDataRate(const ConfigModel& model, int32_t driver, int32_t port) {
    const DriverEntry& entry = model.driver(driver);
    const PortEntry& p = model.port(driver, port);
    const double f = std::strtod(p.Oscillator.c_str(), nullptr) * 1000000.0;

    if (entry.driver_type == kWyvel32) {
        const double divide = static_cast<double>(p.Divisor) + 1.0;
        return divide == 0.0 ? 0.0 : f / divide;
    }

    double m = entry.driver_type == kHestabe5 ? static_cast<double>(p.ClockX) : 1.0;
    if (p.TxClock == kClockDpll) {
        if (p.Dpll == kDpllNrzi) {
            m = 32;
        } else if (p.Dpll == kDpllFm0 || p.Dpll == kDpllFm1 || p.Dpll == kDpllManchester) {
            m = 16;
        }
    }
    const double d = static_cast<double>(p.Divisor) + 2.0;
    const double divide = p.BRGSource == 0 ? m * d * 2.0 : m;
    return divide == 0.0 ? 0.0 : f / divide;
}

}  // namespace qorval::applet
