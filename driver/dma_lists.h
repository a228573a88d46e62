#pragma once
// The two circular lists of 16-byte entries in card memory that the IUSC's DMA channels walk
// in linked-list mode, one entry per frame buffer.

#include <cstdint>

#include "driver/port_context.h"

namespace wyvel32 {

// Field offsets within a list entry (little-endian).
namespace entry {
inline constexpr uint16_t kBuffer = 0;        // 32-bit card address of the buffer
inline constexpr uint16_t kLength = 4;        // transmit: frame length, 0 = empty; receive: size
inline constexpr uint16_t kStatus = 6;        // receive status written at end of frame
inline constexpr uint16_t kCount = 8;         // transmit: control block length; receive count
inline constexpr uint16_t kSavedLength = 10;  // transmit: length kept for restarts
inline constexpr uint16_t kLink = 12;         // 32-bit card address of the next entry
inline constexpr uint16_t kUnused = 0xFFFF;
}  // namespace entry

// Which lists BuildDmaLists builds.
inline constexpr uint32_t BUILD_RECEIVE = 1;
inline constexpr uint32_t BUILD_TRANSMIT = 2;
inline constexpr uint32_t BUILD_BOTH = 4;

// Records the list bases and (re)builds the chosen lists: every transmit entry empty, every
// receive entry offering its whole buffer; the last entry of each links back to the first.
void BuildDmaLists(PortContext& port, uint32_t which);

// Offers a receive entry's whole buffer to the DMA again (+4 and +8 := RxBuffSize).
void RearmReceiveEntry(PortContext& port, uint32_t index);

}  // namespace wyvel32
