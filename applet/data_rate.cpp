#include "applet/data_rate.h"

#include <charconv>
#include <string_view>

namespace qorval::applet {

namespace {

// The oscillator text as a decimal number of MHz: the leading number, whatever the
// process locale says the decimal separator is; a text without one reads as 0.
double OscillatorMhz(std::string_view text) {
    while (!text.empty() && (text.front() == ' ' || text.front() == '\t')) {
        text.remove_prefix(1);
    }
    double mhz = 0.0;
    const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), mhz);
    (void)end;
    return error == std::errc{} ? mhz : 0.0;
}

}  // namespace

double ComputeDataRate(const ConfigModel& model, int32_t driver, int32_t port) {
    const DriverEntry& entry = model.driver(driver);
    const PortEntry& p = model.port(driver, port);
    const double f = OscillatorMhz(p.Oscillator) * 1000000.0;

    // The drivers read the divisor as the unsigned 32-bit value stored, so a negative entry is
    // a very large divisor, never a negative rate.
    const double divisor = static_cast<double>(static_cast<uint32_t>(p.Divisor));
    if (entry.driver_type == kWyvel32) {
        const double divide = divisor + 1.0;
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
    const double d = divisor + 2.0;
    const double divide = p.BRGSource == 0 ? m * d * 2.0 : m;
    return divide == 0.0 ? 0.0 : f / divide;
}

}  // namespace qorval::applet
