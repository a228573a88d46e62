// Which controls of each property page can be used, from the selection, the driver type, the
// card and the platform. The window greys out every control these rules leave off.
#pragma once

#include <array>
#include <string_view>

#include "applet/config_model.h"

namespace qorval::applet {

struct DriverInfoEnables {
    bool card_type, channel, port_enabled, driver_enabled;
    bool add_driver, remove_driver, add_card, remove_card;
};
struct SystemResourcesEnables {
    bool base, interrupt, tx_dma, rx_dma, port_mode, memory;
};
struct BufferInfoEnables {
    bool buffers;
};
struct CommSettingsEnables {
    bool data_bits, stop_bits, clock_mode, parity, rs485, oscillator, divisor;
    bool node_addressing, node_address;
};
struct ClockingOptionsEnables {
    bool clocks, dpll, dpll_source, brg_source, txc_mode, dpll_divisor;
};
struct AdvancedEnables {
    bool crc_detection, crc_preset, idle_state, loopback, tx_timeout, rx_timeout;
    bool autoinit_size, idle_loop, min_flags, interface_type;
    bool protocol;  // never
};

DriverInfoEnables DriverInfoEnablesOf(const ConfigModel& model);
SystemResourcesEnables SystemResourcesEnablesOf(const ConfigModel& model);
BufferInfoEnables BufferInfoEnablesOf(const ConfigModel& model);
CommSettingsEnables CommSettingsEnablesOf(const ConfigModel& model);
ClockingOptionsEnables ClockingOptionsEnablesOf(const ConfigModel& model);
AdvancedEnables AdvancedEnablesOf(const ConfigModel& model);

// The Add Driver pop-up: its four items (driver types 0..3) and which of them are grayed.
struct AddDriverItem {
    std::string_view text;
    bool grayed;
};
std::array<AddDriverItem, kDriverTypeCount> AddDriverMenu(const ConfigModel& model);

}  // namespace qorval::applet
