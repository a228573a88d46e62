// A large configuration for tests and benchmarks: every driver type with four ports.
#pragma once

#include <string>

#include "applet/config_model.h"
#include "applet/model_edits.h"

namespace qorval::applet::testing {

// The first `drivers` driver types, each with four ports of 41 values (16 ports for 4).
inline ConfigModel FullModel(int drivers) {
    ConfigModel model;
    for (int type = 0; type < drivers; ++type) {
        model.driver(model.driver_count++) = DriverEntry{};
        DriverEntry& driver = model.driver(type);
        driver.name = DriverInfo(type).name;
        driver.description = DriverInfo(type).description;
        driver.driver_type = type;
        driver.max_ports = DriverInfo(type).max_ports;
        driver.Start = kStartEnabled;
        driver.port_count = kMaxPortsPerDriver;
        for (int p = 0; p < kMaxPortsPerDriver; ++p) {
            PortEntry& port = driver.ports[static_cast<size_t>(p)];
            ApplyNewPortDefaults(port, type);
            port.name = "Port00" + std::to_string(p + 1);
            port.BaseIO = 0x200 + 0x40 * (4 * type + p);
        }
    }
    return model;
}

}  // namespace qorval::applet::testing
