#pragma once
// The register values of the channel programme, computed from a port's configuration. Values
// the configuration can hold without validation (a port-state change does not validate) get
// the bits documented with each function.

#include <cstdint>
#include <optional>

#include "driver/port_config.h"

namespace wyvel32 {

uint16_t PcrValue(const PortConfig& config);
uint16_t IocrValue(const PortConfig& config);
// CMCR: transmit clock, receive clock, DPLL source (only when Dpll > 1) and BRG0 source.
// A clock source above 3, or an unknown DPLL or BRG0 source, contributes no bits.
uint16_t CmcrValue(const PortConfig& config);
// HCR: DPLL mode and divisor (only when Dpll > 1) and BRG0 enable.
uint16_t HcrValue(const PortConfig& config);
// CCR: two-word status/control blocks and the opening flag count.
uint16_t CcrValue(const PortConfig& config);
uint16_t CmrValue(const PortConfig& config);
// TCSR idle line state; an unknown IdleState sends flags.
uint16_t IdleBits(uint32_t idle_state);
// Line encoding bits of TMR/RMR; an unknown Dpll gives NRZ.
uint16_t EncodingBits(uint32_t dpll);
// TMR/RMR value; empty when CRCPreset is neither 1 nor 2 (the programme then fails).
std::optional<uint16_t> ModeValue(const PortConfig& config);

// Board register 1 interrupt code for an ISA interrupt level; empty when the board cannot
// select the level.
std::optional<uint8_t> InterruptCode(uint32_t level);
// Board register 5 line interface code; empty for an interface the board lacks.
std::optional<uint8_t> LineInterfaceCode(uint32_t interface);

}  // namespace wyvel32
