#pragma once
// Shared set-up of the driver tests: an in-memory registry, a recording event log, and a port
// on a simulated card.

#include <cstdint>
#include <string>
#include <vector>

#include "driver/driver_context.h"
#include "driver/port_config.h"
#include "driver/port_context.h"
#include "platform/event_log.h"
#include "platform/registry.h"
#include "sim/sim_card.h"

namespace wyvel32::testing {

inline constexpr const char* kTestPortKey =
    "\\Registry\\Machine\\System\\CurrentControlSet\\Services\\Wyvel32\\Parameters\\Port001";

// The resources a test port is started with.
PortConfig StartedConfig(uint8_t port_number = 1);

class DriverFixture {
  public:
    DriverFixture();

    qorval::platform::Registry registry;
    qorval::platform::RecordingEventLog events;
    DriverContext driver;

    // Codes of the entries logged so far, in order.
    std::vector<uint32_t> EventCodes() const;
    // Writes the driver's default key for port 1 with the StartedConfig resources.
    void WriteDefaultKey();
    void SetDword(const std::string& name, uint32_t value);
    void SetString(const std::string& name, const std::string& value);
};

// A port on a simulated card, configured with the default key's values.
class SimPortFixture : public DriverFixture {
  public:
    SimPortFixture();

    qorval::sim::SimCard card;
    MutexInterruptSync sync;
    PortContext port;

    // The last value written to each 16-bit IUSC register by the traced accesses.
    uint16_t LastWrite16(uint8_t offset) const;
    bool Written16(uint8_t offset) const;
};

}  // namespace wyvel32::testing
