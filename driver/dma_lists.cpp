#include "driver/dma_lists.h"

#include "driver/card_memory.h"

namespace wyvel32 {

namespace {

void BuildTransmitList(PortContext& port) {
    const PortConfig& config = port.config;
    Hardware& hw = *port.hardware;
    for (uint32_t i = 0; i < config.TxBuffers; ++i) {
        const uint16_t at = EntryAddress(port, i, DmaList::Transmit);
        const bool last = i + 1 == config.TxBuffers;
        hw.WriteWindow32(at + entry::kBuffer, TxBufferCardAddress(config, i));
        hw.WriteWindow16(at + entry::kLength, 0);
        hw.WriteWindow16(at + entry::kStatus, 0);
        hw.WriteWindow16(at + entry::kCount, 0);
        hw.WriteWindow16(at + entry::kSavedLength, entry::kUnused);
        hw.WriteWindow32(at + entry::kLink,
                         last ? port.TxListBase : TxEntryCardAddress(config, i + 1));
    }
}

void BuildReceiveList(PortContext& port) {
    const PortConfig& config = port.config;
    Hardware& hw = *port.hardware;
    const uint16_t size = static_cast<uint16_t>(config.RxBuffSize);
    for (uint32_t i = 0; i < config.RxBuffers; ++i) {
        const uint16_t at = EntryAddress(port, i, DmaList::Receive);
        const bool last = i + 1 == config.RxBuffers;
        hw.WriteWindow32(at + entry::kBuffer, RxBufferCardAddress(config, i));
        hw.WriteWindow16(at + entry::kLength, size);
        hw.WriteWindow16(at + entry::kStatus, 0);
        hw.WriteWindow16(at + entry::kCount, size);
        hw.WriteWindow16(at + entry::kSavedLength, entry::kUnused);
        hw.WriteWindow32(at + entry::kLink,
                         last ? port.RxListBase : RxEntryCardAddress(config, i + 1));
    }
}

}  // namespace

void RearmReceiveEntry(PortContext& port, uint32_t index) {
    const uint16_t size = static_cast<uint16_t>(port.config.RxBuffSize);
    const uint16_t at = EntryAddress(port, index, DmaList::Receive);
    port.hardware->WriteWindow16(at + entry::kLength, size);
    port.hardware->WriteWindow16(at + entry::kCount, size);
}

void BuildDmaLists(PortContext& port, uint32_t which) {
    port.TxListBase = TxEntryCardAddress(port.config, 0);
    port.RxListBase = RxEntryCardAddress(port.config, 0);
    if (which == BUILD_TRANSMIT || which == BUILD_BOTH) {
        BuildTransmitList(port);
    }
    if (which == BUILD_RECEIVE || which == BUILD_BOTH) {
        BuildReceiveList(port);
    }
}

}  // namespace wyvel32
