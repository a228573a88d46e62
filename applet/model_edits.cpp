#include "applet/model_edits.h"

#include <algorithm>

#include "applet/text_util.h"

namespace qorval::applet {

namespace {

constexpr const char* kFoundPcmciaOnAddDriver = "Found PCMCIA Card configured at Interrupt=%d";
constexpr const char* kFoundPcmciaOnAddCard = "PCMCIA Card configured at Interrupt=%d";
constexpr const char* kNoMorePorts = "Cannot define any more ports for the %s driver.";
constexpr const char* kNoMorePortsCaption = "Error";
constexpr const char* kLastCard = "The %s driver must have at least one card defined.";
constexpr const char* kLastCardCaption = "Error";

// Values that differ between the four driver types, in type order.
struct TypeDefaults {
    const char* oscillator;
    int32_t clock_x, enabled, rx_clock, mode, card, base, irq, tx_dma, rx_dma;
    int32_t tx_buffers, tx_size, rx_buffers, rx_size, crc_used, memory, interface, dpll_divisor;
};

constexpr TypeDefaults kTypeDefaults[kDriverTypeCount] = {
    {"7.37280", 16, 0, kClockBrg, kModeAutoInit, kHazel, 0x238, 5, 3, 1, 25, 1024, 50, 1024, 0,
     kNotSet, kNotSet, kNotSet},
    {"7.37280", 1, 0, kClockRxc, kModeAutoInit, kHazel, 0x238, 5, 3, 1, 50, 2048, 100, 2048, 2,
     kNotSet, kNotSet, kNotSet},
    {"7.37280", 16, 1, kClockBrg, kModeAutoInit, kHazel, 0x238, 5, 3, 1, 50, 2048, 100, 2048, 0,
     kNotSet, kNotSet, kNotSet},
    // A 16C32 card runs from a 20 MHz oscillator, as the driver's own default says.
    {"20.000", 1, 0, kClockRxc, kModeInterrupt, kPine, 0x300, 3, kNotSet, kNotSet, 100, 1024, 100,
     1024, 1, 0xD0000, 1, 8},
};

// The port settings a Nutmeg or Spruce card always runs with.
void ApplyFixedCardMode(PortEntry& port) {
    port.Mode = kModeInterrupt;
    port.Interface = 1;
}

// Places the port of a newly added card: a Nutmeg takes the resources PC card services
// gave it when they are found, every other card takes the typed base.
void PlaceNewPort(PortEntry& port, int32_t base, int32_t card, int32_t fallback_irq,
                  const char* found_message, ui::UserMessages& user,
                  const PcmciaReader& read_pcmcia) {
    port.Card = card;
    port.BaseIO = base;
    if (fallback_irq != kNotSet) {
        port.Interrupt = fallback_irq;
    }
    if (card == kNutmeg) {
        const PcmciaResources found = read_pcmcia ? read_pcmcia() : PcmciaResources{};
        if (found.found) {
            ShowPlain(user, Format(found_message, static_cast<int>(found.irq)));
            if (found.has_irq) {
                port.Interrupt = static_cast<int32_t>(found.irq);
            }
            if (found.has_io_base) {
                port.BaseIO = static_cast<int32_t>(found.io_base);
            }
        }
    }
    if (card == kNutmeg || card == kSpruce) {
        ApplyFixedCardMode(port);
    }
}

}  // namespace

void ApplyNewPortDefaults(PortEntry& port, int32_t driver_type) {
    const TypeDefaults& d = kTypeDefaults[std::clamp(driver_type, 0, kDriverTypeCount - 1)];
    port = PortEntry{};
    port.name = "NewPort";
    port.Oscillator = d.oscillator;
    port.ClockX = d.clock_x;
    port.Enabled = d.enabled;
    port.TxClock = kClockBrg;
    port.RxClock = d.rx_clock;
    port.Mode = d.mode;
    port.Card = d.card;
    port.BaseIO = d.base;
    port.Interrupt = d.irq;
    port.TxDMA = d.tx_dma;
    port.RxDMA = d.rx_dma;
    port.DataBits = 8;
    port.StopBits = 1;
    port.TxBuffers = d.tx_buffers;
    port.TxBuffSize = d.tx_size;
    port.RxBuffers = d.rx_buffers;
    port.RxBuffSize = d.rx_size;
    port.Divisor = 126;
    port.TxTimeout = 50000;
    port.RxTimeout = 50000;
    port.Dpll = kDpllNrz;
    port.CrcPreset = 2;
    port.DPLLSource = 16;
    port.CrcUsed = d.crc_used;
    port.AutoinitBuffSize = 16384;
    port.Idleloop = 1;
    port.Minflags = 1;
    port.Memory = d.memory;
    port.Interface = d.interface;
    port.Protocol = kNotSet;
    port.TXCMode = kNotSet;
    port.DPLLDivisor = d.dpll_divisor;
}

bool AddDriver(ConfigModel& model, int32_t type, int32_t base, int32_t card, ui::UserMessages& user,
               const PcmciaReader& read_pcmcia) {
    if (model.driver_count >= kMaxDrivers || type < 0 || type >= kDriverTypeCount) {
        return false;
    }
    const DriverTypeInfo& info = DriverInfo(type);
    const int32_t index = model.driver_count++;
    model.selected_driver = index;
    model.selected_port = 0;

    DriverEntry& entry = model.driver(index);
    entry = DriverEntry{};
    entry.name = info.name;
    entry.description = info.description;
    entry.driver_type = type;
    entry.max_ports = (type == kFendar5 && model.platform_win9x) ? 1 : info.max_ports;
    entry.ErrorControl = 1;
    entry.Group = "Extended Base";
    entry.Start = kStartEnabled;
    entry.Type = 1;
    entry.port_count = PortsOfCard(card);

    PortEntry& first = entry.ports[0];
    ApplyNewPortDefaults(first, type);
    first.name = PortKeyName(1);
    PlaceNewPort(first, base, card, kNotSet, kFoundPcmciaOnAddDriver, user, read_pcmcia);
    if (entry.port_count == 2) {
        PortEntry& second = entry.ports[1];
        ApplyNewPortDefaults(second, type);
        second.name = PortKeyName(2);
        second.Channel = 1;
        second.Card = card;
        second.BaseIO = base;
    }
    return true;
}

bool CheckCardCapacity(const ConfigModel& model, ui::UserMessages& user) {
    const DriverEntry& entry = model.driver(model.selected_driver);
    if (entry.port_count < entry.max_ports - 1) {
        return true;
    }
    ShowError(user, Format(kNoMorePorts, entry.description.c_str()), kNoMorePortsCaption);
    return false;
}

bool AddCard(ConfigModel& model, int32_t base, int32_t card, ui::UserMessages& user,
             const PcmciaReader& read_pcmcia) {
    if (!CheckCardCapacity(model, user)) {
        return false;
    }
    DriverEntry& entry = model.driver(model.selected_driver);
    const int32_t channels = PortsOfCard(card);
    // The capacity rule keeps a driver within its four port slots; refuse rather than write
    // past them should the stored maximum say otherwise.
    if (entry.port_count + channels > kMaxPortsPerDriver) {
        ShowError(user, Format(kNoMorePorts, entry.description.c_str()), kNoMorePortsCaption);
        return false;
    }
    const PortEntry& port0 = entry.ports[0];
    for (int32_t channel = 0; channel < channels; ++channel) {
        const int32_t n = entry.port_count++;
        PortEntry& port = entry.ports[static_cast<size_t>(n)];
        const std::string oscillator = port0.Oscillator;
        const int32_t irq = port0.Interrupt;
        ApplyNewPortDefaults(port, entry.driver_type);
        port.name = Format("Port00%d", n + 1);
        port.Oscillator = oscillator;
        port.Channel = channel;
        PlaceNewPort(port, base, card, irq, kFoundPcmciaOnAddCard, user, read_pcmcia);
        model.selected_port = n;
    }
    return true;
}

void RemoveDriver(ConfigModel& model) {
    if (model.driver_count <= 0) {
        return;
    }
    const int32_t removed = std::clamp(model.selected_driver, 0, model.driver_count - 1);
    for (int32_t d = removed; d + 1 < model.driver_count; ++d) {
        model.driver(d) = model.driver(d + 1);
    }
    model.driver(model.driver_count - 1) = DriverEntry{};
    --model.driver_count;
    model.selected_driver = 0;
    model.selected_port = 0;
}

bool RemoveCard(ConfigModel& model, ui::UserMessages& user) {
    DriverEntry& entry = model.driver(model.selected_driver);
    const std::vector<CardRun> cards = CardsByBase(entry);
    if (cards.size() <= 1) {
        ShowError(user, Format(kLastCard, entry.description.c_str()), kLastCardCaption);
        return false;
    }
    const CardRun card = CardOfPort(entry, model.selected_port);
    if (card.port_count == 0) {
        return false;
    }
    const bool last_card = card.first_port + card.port_count >= entry.port_count;
    if (last_card) {
        entry.port_count -= card.port_count;
    } else {
        for (int32_t removed = 0; removed < card.port_count; ++removed) {
            for (int32_t p = card.first_port; p + 1 < entry.port_count; ++p) {
                entry.ports[static_cast<size_t>(p)] = entry.ports[static_cast<size_t>(p + 1)];
                entry.ports[static_cast<size_t>(p)].name = PortKeyName(p + 1);
            }
            --entry.port_count;
        }
    }
    for (int32_t p = entry.port_count; p < kMaxPortsPerDriver; ++p) {
        entry.ports[static_cast<size_t>(p)] = PortEntry{};
    }
    model.selected_port = 0;
    return true;
}

void MoveCardBase(ConfigModel& model, int32_t new_base, int32_t old_base) {
    DriverEntry& entry = model.driver(model.selected_driver);
    for (int32_t p = 0; p < entry.port_count; ++p) {
        if (entry.ports[static_cast<size_t>(p)].BaseIO == old_base) {
            entry.ports[static_cast<size_t>(p)].BaseIO = new_base;
        }
    }
}

void MoveCardInterrupt(ConfigModel& model, int32_t irq) {
    DriverEntry& entry = model.driver(model.selected_driver);
    const int32_t base = model.selected().BaseIO;
    for (int32_t p = 0; p < entry.port_count; ++p) {
        if (entry.ports[static_cast<size_t>(p)].BaseIO == base) {
            entry.ports[static_cast<size_t>(p)].Interrupt = irq;
        }
    }
}

}  // namespace qorval::applet
