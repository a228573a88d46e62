#include "portaccess/port_loss.h"

#include <cstdio>

#include "portaccess/driver_host_hint.h"

namespace qorval {
namespace {

// Whether the host lists the port as present; true when the record cannot say (the record has
// room for four ports per driver), so that the handle itself is asked.
bool ListedAsPresent(const SystemInfo& info, uint16_t driverType, uint16_t portNumber) {
    if (portNumber == 0 || portNumber > QORVAL_MAX_PORTS_PER_DRIVER) {
        return true;
    }
    for (const SystemInfoDriver& driver : info.drivers) {
        if (driver.driverType == driverType && driver.present != 0) {
            return driver.ports[portNumber - 1].present != 0;
        }
    }
    return false;
}

}  // namespace

PortLoss RecognisePortLoss(QORVAL_HANDLE handle, uint16_t driverType, uint16_t portNumber,
                           uint32_t result) {
    if (result != QORVAL_PORT_NOT_OPEN && result != QORVAL_GENERAL_ERROR) {
        return PortLoss::kNone;
    }
    SystemInfo info{};
    if (QORVAL_GetSystemInfo(&info) != QORVAL_OK) {
        return PortLoss::kHostGone;
    }
    if (!ListedAsPresent(info, driverType, portNumber)) {
        return PortLoss::kPortRemoved;
    }
    uint16_t waiting = 0;
    uint16_t free = 0;
    switch (QORVAL_GetBufferCount(handle, &waiting, &free)) {
        case QORVAL_GENERAL_ERROR:
            return PortLoss::kHostGone;
        case QORVAL_PORT_NOT_OPEN:
            return PortLoss::kPortRemoved;
        default:
            return PortLoss::kNone;
    }
}

std::string PortLossMessage(PortLoss loss, uint16_t portNumber) {
    const char* format = nullptr;
    switch (loss) {
        case PortLoss::kHostGone:
            format = kHostGoneFormat;
            break;
        case PortLoss::kPortRemoved:
            format = kPortRemovedFormat;
            break;
        case PortLoss::kNone:
            return {};
    }
    char text[256];
    std::snprintf(text, sizeof text, format, unsigned{portNumber});
    return text;
}

}  // namespace qorval
