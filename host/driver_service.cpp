#include "host/driver_service.h"

#include "driver/driver_context.h"
#include "host/protocol/control_protocol.h"

namespace wyvel32::host {

namespace {

constexpr const char* kStart = "Start";

}  // namespace

std::string InstallDriverService(qorval::platform::Registry& registry) {
    uint32_t start = 0;
    const qorval::platform::RegResult read = registry.QueryDword(kServiceKeyPath, kStart, start);
    if (read.status != qorval::platform::RegStatus::NotFound) {
        return {};  // set already (or the file cannot be used, which the start reports)
    }
    qorval::platform::RegResult written = registry.CreateKey(kServiceKeyPath);
    if (written.ok()) {
        written = registry.SetDword(kServiceKeyPath, kStart, kServiceDemandStart);
    }
    return written.ok() ? std::string() : "cannot enable the Wyvel32 driver: " + written.message;
}

std::string DriverStartRefusal(qorval::platform::Registry& registry) {
    uint32_t start = 0;
    if (registry.QueryDword(kServiceKeyPath, kStart, start).ok() && start == kServiceDisabled) {
        return std::string(qorval::protocol::kDriverDisabled);
    }
    return {};
}

}  // namespace wyvel32::host
