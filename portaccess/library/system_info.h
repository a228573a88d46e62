#pragma once
// Fills SystemInfo from the driver host's list of devices.

#include <cstdint>

#include "portaccess/qorval32.h"

namespace qorval::library {

// Asks the host's control socket for its devices. Without a host every driver is absent and
// the result is QORVAL_GENERAL_ERROR.
uint32_t QuerySystemInfo(SystemInfo& info);

}  // namespace qorval::library
