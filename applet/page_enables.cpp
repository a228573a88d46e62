#include "applet/page_enables.h"

namespace qorval::applet {

namespace {

// What every rule starts from: a port is selected and there is a driver to own it.
struct Selection {
    explicit Selection(const ConfigModel& model)
        : port(model.selection_level == kSelectPort && model.driver_count > 0),
          any(model.selection_level >= kSelectDriver && model.driver_count > 0),
          card_or_port((model.selection_level == kSelectCard ||
                        model.selection_level == kSelectPort) &&
                       model.driver_count > 0) {
        if (model.driver_count > 0 && model.selected_driver >= 0 &&
            model.selected_driver < model.driver_count) {
            const DriverEntry& driver = model.driver(model.selected_driver);
            type = driver.driver_type;
            ports = driver.port_count;
            if (model.selected_port >= 0 && model.selected_port < kMaxPortsPerDriver) {
                card = model.selected().Card;
                mode = model.selected().Mode;
                dpll = model.selected().Dpll;
            }
        }
        nt = !model.platform_win9x;
    }
    bool port, any, card_or_port;
    int32_t type = -1, card = -1, mode = 0, dpll = 0, ports = 0;
    bool nt = true;
    bool card_is(std::initializer_list<int32_t> cards) const {
        for (const int32_t c : cards) {
            if (card == c) return true;
        }
        return false;
    }
};

}  // namespace

DriverInfoEnables DriverInfoEnablesOf(const ConfigModel& model) {
    const Selection s(model);
    return {.card_type = s.port,
            .channel = s.port,
            .port_enabled = s.port,
            .driver_enabled = s.any,
            .add_driver = model.driver_count < 3,
            .remove_driver = s.any && s.card != kRowan,
            .add_card = s.any && s.type != kWyvel32 && s.nt,
            .remove_card = s.card_or_port && s.ports >= 2};
}

SystemResourcesEnables SystemResourcesEnablesOf(const ConfigModel& model) {
    const Selection s(model);
    const bool fixed_resources = s.card_is({kRowan, kSpruce, kNutmeg});
    const bool dma = s.port && s.mode != kModeInterrupt && s.type != kWyvel32;
    return {.base = s.card_or_port && !fixed_resources,
            .interrupt = s.card_or_port && !fixed_resources,
            .tx_dma = dma,
            .rx_dma = dma,
            .port_mode = s.port && s.nt && s.type != kWyvel32 && !s.card_is({kSpruce, kNutmeg}),
            .memory = s.port && s.type == kWyvel32 && s.card != kRowan};
}

BufferInfoEnables BufferInfoEnablesOf(const ConfigModel& model) {
    return {.buffers = Selection(model).port};
}

CommSettingsEnables CommSettingsEnablesOf(const ConfigModel& model) {
    const Selection s(model);
    const bool async = s.port && s.type == kHestabe5;
    return {.data_bits = async,
            .stop_bits = async,
            .clock_mode = async,
            .parity = s.port && s.type != kWyvel32,
            .rs485 = s.port && s.type != kWyvel32,
            .oscillator = s.port,
            .divisor = s.port,
            .node_addressing = s.port && s.type != kHestabe5,
            .node_address = s.port && s.type != kHestabe5};
}

ClockingOptionsEnables ClockingOptionsEnablesOf(const ConfigModel& model) {
    const Selection s(model);
    return {.clocks = s.port,
            .dpll = s.port && s.type != kHestabe5,
            .dpll_source = s.port && s.type != kHestabe5,
            .brg_source = s.port && s.nt,
            .txc_mode = s.port && s.type == kWyvel32,
            .dpll_divisor = s.port && s.type == kWyvel32 && s.dpll != kDpllNrz};
}

AdvancedEnables AdvancedEnablesOf(const ConfigModel& model) {
    const Selection s(model);
    const bool sync = s.port && s.type != kHestabe5;
    const bool scc_sync = s.port && (s.type == kFendar5 || s.type == kGorlin5);
    return {.crc_detection = sync,
            .crc_preset = sync,
            .idle_state = sync,
            .loopback = s.port,
            .tx_timeout = s.port && s.type == kHestabe5,
            .rx_timeout = s.port && s.type == kHestabe5,
            .autoinit_size = s.port && s.type != kWyvel32,
            .idle_loop = scc_sync,
            .min_flags = scc_sync,
            .interface_type = s.port && (s.type == kWyvel32 || s.type == kHestabe5),
            .protocol = false};
}

std::array<AddDriverItem, kDriverTypeCount> AddDriverMenu(const ConfigModel& model) {
    std::array<AddDriverItem, kDriverTypeCount> items{};
    for (int32_t type = 0; type < kDriverTypeCount; ++type) {
        items[static_cast<size_t>(type)] = {DriverInfo(type).description, false};
    }
    for (int32_t d = 0; d < model.driver_count; ++d) {
        const int32_t type = model.driver(d).driver_type;
        if (type == kHestabe5 || type == kFendar5 || type == kWyvel32) {
            items[static_cast<size_t>(type)].grayed = true;
        }
    }
    items[kGorlin5].grayed = true;
    if (model.platform_win9x) {
        items[kHestabe5].grayed = true;
        items[kWyvel32].grayed = true;
    }
    return items;
}

}  // namespace qorval::applet
