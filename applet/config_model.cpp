#include "applet/config_model.h"

#include <algorithm>
#include <cstdio>

namespace qorval::applet {

void ClearModel(ConfigModel& model) {
    for (DriverEntry& entry : model.drivers) {
        entry = DriverEntry{};
    }
    model.driver_count = 0;
}

std::vector<CardRun> CardsByBase(const DriverEntry& driver) {
    std::vector<CardRun> cards;
    const int32_t count = std::clamp(driver.port_count, 0, kMaxPortsPerDriver);
    for (int32_t p = 0; p < count; ++p) {
        const auto& port = driver.ports[static_cast<size_t>(p)];
        if (cards.empty() || port.BaseIO != driver.ports[static_cast<size_t>(p - 1)].BaseIO) {
            cards.push_back({p, 0});
        }
        ++cards.back().port_count;
    }
    return cards;
}

CardRun CardOfPort(const DriverEntry& driver, int32_t port) {
    for (const CardRun& card : CardsByBase(driver)) {
        if (port >= card.first_port && port < card.first_port + card.port_count) {
            return card;
        }
    }
    return {port, 0};
}

std::vector<CardRun> CardsByType(const DriverEntry& driver) {
    std::vector<CardRun> cards;
    const int32_t count = std::clamp(driver.port_count, 0, kMaxPortsPerDriver);
    for (int32_t p = 0; p < count;) {
        const int32_t step = PortsOfCard(driver.ports[static_cast<size_t>(p)].Card);
        // A two-channel card whose second port is not in use is drawn as one channel.
        cards.push_back({p, std::min(step, count - p)});
        p += step;
    }
    return cards;
}

std::string PortKeyName(int32_t number) {
    char name[16];
    std::snprintf(name, sizeof name, "Port%03d", number);
    return name;
}

}  // namespace qorval::applet
