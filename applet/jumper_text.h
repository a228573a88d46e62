// The jumper text of one card: ASCII pictures of the switches and jumpers the card needs
// for its configured address, interrupt, DMA channels, clocks and RS-485 mode.
#pragma once

#include <cstdint>
#include <string>

#include "applet/config_model.h"

namespace qorval::applet {

// The values the pictures are drawn from. All are 16-bit; 0xFFFF is a DMA channel that is
// not set. The second values belong to the card's second port; for one-channel cards they
// are 0xFFFF (DMA), 0 (RS-485) and 2 (clocks).
struct JumperInput {
    uint16_t driver_kind = 0;  // 1 Fendar5, 2 Gorlin5, 3 Wyvel32, 0 any other driver
    uint16_t card = 0;
    uint16_t base = 0;
    uint16_t irq = 0;
    uint16_t tx_dma = 0xFFFF;
    uint16_t rx_dma = 0xFFFF;
    uint16_t tx_dma2 = 0xFFFF;
    uint16_t rx_dma2 = 0xFFFF;
    uint16_t rs485 = 0;
    uint16_t rs485_2 = 0;
    uint16_t tx_clock = 2;
    uint16_t rx_clock = 2;
    uint16_t tx_clock2 = 2;
    uint16_t rx_clock2 = 2;
};

// The pictures for one card; empty for a card code above 15.
std::string ComposeJumperText(const JumperInput& in);

// Driver kind of a driver name (case-insensitive).
uint16_t DriverKind(std::string_view driver_name);

// The input for the card of `driver` that starts at `card.first_port`.
JumperInput JumperInputForCard(const DriverEntry& driver, const CardRun& card);

// "JUMPER SETTINGS FOR THE <model> CARD (<driver description>):" and an empty line.
std::string CardHeading(std::string_view model, std::string_view driver_description);

}  // namespace qorval::applet
