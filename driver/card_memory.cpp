#include "driver/card_memory.h"

#include "driver/register_map.h"

namespace wyvel32 {

namespace {

// Block transfers in one direction: a const host pointer writes to the card, a mutable one
// reads from it.
void MoveWords(Hardware& hw, uint16_t offset, const uint8_t* host, size_t words) {
    hw.WriteWindowWords(offset, host, words);
}
void MoveWords(Hardware& hw, uint16_t offset, uint8_t* host, size_t words) {
    hw.ReadWindowWords(offset, host, words);
}
void MoveBytes(Hardware& hw, uint16_t offset, const uint8_t* host, size_t bytes) {
    hw.WriteWindowBytes(offset, host, bytes);
}
void MoveBytes(Hardware& hw, uint16_t offset, uint8_t* host, size_t bytes) {
    hw.ReadWindowBytes(offset, host, bytes);
}

// Moves bytes within the selected page: 128-byte blocks of words, each followed by a board
// register read and a stall, then the remaining words and 1 to 3 single bytes.
template <class HostByte>
void CopyInPage(PortContext& port, uint32_t offset, HostByte* host, size_t bytes) {
    Hardware& hw = *port.hardware;
    auto words = [&](size_t count) {
        MoveWords(hw, static_cast<uint16_t>(offset), host, count);
        offset += static_cast<uint32_t>(count * 4);
        host += count * 4;
    };
    while (bytes >= kCopyBlockBytes) {
        words(kCopyBlockBytes / 4);
        bytes -= kCopyBlockBytes;
        (void)hw.ReadBoard(board::kControl);
        hw.StallMicroseconds(kCopyBlockStallMicroseconds);
    }
    words(bytes / 4);
    if (bytes % 4 != 0) {
        MoveBytes(hw, static_cast<uint16_t>(offset), host, bytes % 4);
    }
}

// Walks the pages the copy spans, selecting each before moving its part.
template <class HostByte>
void Copy(PortContext& port, uint32_t card_address, HostByte* host, size_t bytes) {
    uint32_t page = (card_address >> kPageShift) & (kCardMemoryPages - 1);
    uint32_t offset = card_address & kWindowOffsetMask;
    size_t room = kWindowBytes - offset;
    while (bytes > room) {
        SelectPage(port, page);
        CopyInPage(port, offset, host, room);
        host += room;
        bytes -= room;
        offset = 0;
        room = kWindowBytes;
        page = (page + 1) & (kCardMemoryPages - 1);
    }
    SelectPage(port, page);
    CopyInPage(port, offset, host, bytes);
}

}  // namespace

uint32_t TxEntryCardAddress(const PortConfig&, uint32_t index) {
    return 16 * index;
}

uint32_t RxEntryCardAddress(const PortConfig& config, uint32_t index) {
    return 16 * (config.TxBuffers + index);
}

uint32_t TxBufferCardAddress(const PortConfig& config, uint32_t index) {
    return 16 * (config.TxBuffers + config.RxBuffers) + index * config.TxBuffSize;
}

uint32_t RxBufferCardAddress(const PortConfig& config, uint32_t index) {
    return TxBufferCardAddress(config, config.TxBuffers) + index * config.RxBuffSize;
}

void SelectPage(PortContext& port, uint32_t page) {
    Hardware& hw = *port.hardware;
    const uint8_t control = hw.ReadBoard(board::kControl);
    hw.WriteBoard(board::kControl,
                  static_cast<uint8_t>((control & ~board::kPageMask) | (page & board::kPageMask)));
}

uint16_t EntryAddress(PortContext& port, uint32_t index, DmaList list) {
    port.hardware->WriteBoard(board::kControl, board::kEnable | board::kHostAccess);
    const uint32_t address = list == DmaList::Transmit ? TxEntryCardAddress(port.config, index)
                                                       : RxEntryCardAddress(port.config, index);
    SelectPage(port, address >> kPageShift);
    return static_cast<uint16_t>(address & kWindowOffsetMask);
}

void CopyToCard(PortContext& port, uint32_t card_address, const uint8_t* host, size_t bytes) {
    Copy(port, card_address, host, bytes);
}

void CopyFromCard(PortContext& port, uint32_t card_address, uint8_t* host, size_t bytes) {
    Copy(port, card_address, host, bytes);
}

}  // namespace wyvel32
