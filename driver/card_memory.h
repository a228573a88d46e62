#pragma once
// Card memory as the host sees it: a 16 KB window onto 256 KB, its page chosen in board
// register 0. The layout (lists first, then transmit buffers, then receive buffers) follows the
// port's buffer configuration. Every function here runs under the port's interrupt lock.

#include <cstddef>
#include <cstdint>

#include "driver/port_context.h"

namespace wyvel32 {

inline constexpr uint32_t kWindowBytes = 0x4000;
inline constexpr uint32_t kWindowOffsetMask = 0x3FFF;
inline constexpr uint32_t kPageShift = 14;
inline constexpr uint32_t kCardMemoryPages = 16;
// The copy moves 128-byte blocks, then reads a board register and stalls so that the card's
// DMA gets the memory between blocks.
inline constexpr size_t kCopyBlockBytes = 128;
inline constexpr uint32_t kCopyBlockStallMicroseconds = 2;

enum class DmaList { Transmit, Receive };

// Card addresses of the layout.
uint32_t TxEntryCardAddress(const PortConfig& config, uint32_t index);
uint32_t RxEntryCardAddress(const PortConfig& config, uint32_t index);
uint32_t TxBufferCardAddress(const PortConfig& config, uint32_t index);
uint32_t RxBufferCardAddress(const PortConfig& config, uint32_t index);

// Board register 0 bits 3-0 := page, bits 7-4 kept.
void SelectPage(PortContext& port, uint32_t page);

// Opens the window for host access on the page of an entry and returns the entry's offset in
// the window.
uint16_t EntryAddress(PortContext& port, uint32_t index, DmaList list);

// Copies between host memory and card memory at `card_address`, splitting at page boundaries.
// Exactly `bytes` bytes are moved. The window must already be open for host access.
void CopyToCard(PortContext& port, uint32_t card_address, const uint8_t* host, size_t bytes);
void CopyFromCard(PortContext& port, uint32_t card_address, uint8_t* host, size_t bytes);

}  // namespace wyvel32
