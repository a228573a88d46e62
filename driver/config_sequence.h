#pragma once
// The configuration passes a port goes through: at device start (every value takes effect)
// and at every open (the line, clock, coding and address values are read again).

#include <optional>

#include "driver/ntstatus.h"
#include "driver/port_config.h"
#include "driver/port_context.h"

namespace wyvel32 {

// Maps the card's memory window and register window for a port; the host's kernel model
// provides it. Returns nullptr when the windows cannot be mapped.
class WindowMapper {
  public:
    virtual ~WindowMapper() = default;
    virtual Hardware* MapWindows(const PortConfig& config) = 0;
};

// Writes the card's resources into the port key (BaseIO with bit 0 cleared, the interrupt's low
// 8 bits, Memory and IUSC with the low 4 bits cleared) and puts the same values into `config`.
NTSTATUS StorePortResources(const DriverContext& driver, PortConfig& config);

// The start-time pass for a port whose `config` holds the Plug and Play resources, location and
// port number: key check and rewrite with the card's location, read and validate, store the
// resources, map the windows, copy the configuration into `port`. Any failure ends the pass with
// its status; a failed mapping gives STATUS_INSUFFICIENT_RESOURCES.
NTSTATUS RunStartConfiguration(PortContext& port, PortConfig& config, WindowMapper& mapper);

// The open-time pass: a fresh record from the port's resources and identity, key check and
// rewrite without a location, read and validate, and on success the open-time subset copied
// back into the port's configuration.
NTSTATUS RunOpenConfiguration(PortContext& port);

// Copies the values an open or a port-state change may change.
void CopyOpenTimeValues(PortConfig& into, const PortConfig& from);

}  // namespace wyvel32
