// The data rate of a port, computed in one place for the Comm Settings page and the
// timeout recommendation.
#pragma once

#include <cstdint>

#include "applet/config_model.h"

namespace qorval::applet {

// Bits per second of port `port` of driver `driver`. A clock chain that divides by zero
// gives 0, which every user of the rate treats as "no rate".
double ComputeDataRate(const ConfigModel& model, int32_t driver, int32_t port);

}  // namespace qorval::applet
