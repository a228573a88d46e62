#include "host/driver_loader.h"

#include <cstdio>

#include "driver/driver_entry.h"

namespace wyvel32::host {

std::string LoadWyvel32(qorval::kernel::IoManager& kernel, qorval::platform::Registry& registry,
                        qorval::platform::EventLogSink& event_log) {
    wyvel32::SetDriverPlatform(&registry, &event_log);
    const NTSTATUS status = kernel.LoadDriver("Wyvel32", wyvel32::DriverEntry, kServiceKeyPath);
    if (status != STATUS_SUCCESS) {
        char text[80];
        std::snprintf(text, sizeof(text), "driver initialisation failed (status 0x%08X)", status);
        return text;
    }
    return {};
}

}  // namespace wyvel32::host
