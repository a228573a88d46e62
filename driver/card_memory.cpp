#include "driver/card_memory.h"

#include "driver/register_map.h"

namespace wyvel32 {

namespace {

void CopyInPage(PortContext& port, uint32_t offset, uint8_t* host, size_t bytes, bool to_card) {
    Hardware& hw = *port.hardware;
    auto words = [&](size_t count) {
        if (to_card) {
            hw.WriteWindowWords(static_cast<uint16_t>(offset), host, count);
        } else {
            hw.ReadWindowWords(static_cast<uint16_t>(offset), host, count);
        }
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
    const size_t tail = bytes % 4;
    if (tail != 0) {
        if (to_card) {
            hw.WriteWindowBytes(static_cast<uint16_t>(offset), host, tail);
        } else {
            hw.ReadWindowBytes(static_cast<uint16_t>(offset), host, tail);
        }
    }
}

void Copy(PortContext& port, uint32_t card_address, uint8_t* host, size_t bytes, bool to_card) {
    uint32_t page = (card_address >> kPageShift) & (kCardMemoryPages - 1);
    uint32_t offset = card_address & kWindowOffsetMask;
    size_t room = kWindowBytes - offset;
    while (bytes > room) {
        SelectPage(port, page);
        CopyInPage(port, offset, host, room, to_card);
        host += room;
        bytes -= room;
        offset = 0;
        room = kWindowBytes;
        page = (page + 1) & (kCardMemoryPages - 1);
    }
    SelectPage(port, page);
    CopyInPage(port, offset, host, bytes, to_card);
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
    // The hardware interface takes a non-const pointer for both directions' shared walk; the
    // to-card direction only reads through it.
    Copy(port, card_address, const_cast<uint8_t*>(host), bytes, true);
}

void CopyFromCard(PortContext& port, uint32_t card_address, uint8_t* host, size_t bytes) {
    Copy(port, card_address, host, bytes, false);
}

}  // namespace wyvel32
