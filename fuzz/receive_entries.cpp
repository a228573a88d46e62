// Receive list entries are written by the card's DMA from frames off the line, so the driver
// treats their counts and status words as untrusted. This target fills a small receive ring with
// arbitrary entry words and ring state, then takes frames out of it: every read must stay inside
// the caller's buffer and the ring counts inside the ring.

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <vector>

#include "driver/card_memory.h"
#include "driver/dma_lists.h"
#include "driver/frame_engine.h"
#include "driver/port_context.h"
#include "sim/sim_card.h"

namespace {

class Input {
  public:
    Input(const uint8_t* data, size_t size) : data_(data), size_(size) {}
    uint16_t Take16() {
        uint16_t value = 0;
        for (int i = 0; i < 2 && at_ < size_; ++i) {
            value |= static_cast<uint16_t>(data_[at_++]) << (8 * i);
        }
        return value;
    }
    bool Empty() const { return at_ >= size_; }

  private:
    const uint8_t* data_;
    size_t size_;
    size_t at_ = 0;
};

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    Input in(data, size);
    qorval::sim::SimCard card;
    wyvel32::PortContext port;
    port.hardware = &card;
    wyvel32::PortConfig& config = port.config;
    config.TxBuffers = 2;
    config.RxBuffers = 2 + in.Take16() % 15;
    config.TxBuffSize = 16;
    config.RxBuffSize = 16 + (in.Take16() % 2048) * 2;
    config.CrcUsed = in.Take16() % 4;
    wyvel32::BuildDmaLists(port, wyvel32::BUILD_BOTH);

    port.RxFramesWaiting = in.Take16() % (config.RxBuffers + 2);
    port.RxReadIndex = in.Take16() % (config.RxBuffers + 1);
    port.RxDmaIndex = in.Take16() % config.RxBuffers;
    auto memory = card.CardMemory();
    for (uint32_t i = 0; i < config.RxBuffers; ++i) {
        const uint32_t at = wyvel32::RxEntryCardAddress(config, i);
        for (uint16_t field :
             {wyvel32::entry::kLength, wyvel32::entry::kStatus, wyvel32::entry::kCount}) {
            const uint16_t value = in.Take16();
            std::memcpy(memory.data() + at + field, &value, 2);
        }
    }

    while (!in.Empty()) {
        const uint32_t room = in.Take16() % 4096;
        std::vector<uint8_t> buffer(room);
        port.ReadBuffer = buffer.data();
        port.ReadLength = room;
        port.PortFlags &= ~(wyvel32::RX_OVERRUN | wyvel32::RX_CRC_ERROR);
        const bool taken = wyvel32::ReadFrame(port);
        if ((taken && port.ReadLength > room) ||
            port.RxFramesWaiting.load() > config.RxBuffers + 1 ||
            port.RxReadIndex >= config.RxBuffers + 1) {
            std::abort();
        }
    }
    return 0;
}
