// The two DMA channels in linked-list mode. Each list entry in card memory is untrusted: it is
// read whole, converted from little-endian here, every buffer is clamped to card memory, and
// only the count, status and receive-count words are ever written back.

#include <algorithm>
#include <cstring>

#include "sim/iusc_registers.h"
#include "sim/sim_card.h"

namespace qorval::sim {
namespace {

constexpr uint32_t kEntryBytes = 16;
constexpr unsigned kEntryCount = 4;         // buffer count, cleared after fetch
constexpr unsigned kEntryStatus = 6;        // receive status word, written at end of buffer
constexpr unsigned kEntryReceiveCount = 8;  // receive count, written at end of buffer

// While the DMA stores the last byte of a full buffer, the receiver has already counted up to
// this many further bytes of the same frame into its FIFO: a frame that overflows its buffer
// by one or two bytes shows that in the full buffer's receive count.
constexpr uint32_t kReceiverLead = 2;

uint16_t Le16(const uint8_t* p) {
    return static_cast<uint16_t>(p[0] | (p[1] << 8));
}
uint32_t Le32(const uint8_t* p) {
    return static_cast<uint32_t>(p[0]) | (static_cast<uint32_t>(p[1]) << 8) |
           (static_cast<uint32_t>(p[2]) << 16) | (static_cast<uint32_t>(p[3]) << 24);
}

}  // namespace

void SimCard::DmaCommand(uint8_t command, bool receive) {
    switch (command) {
        case 0:
            break;
        case reg::kDcarPause:
            PauseDma(receive);
            break;
        case reg::kDcarInitialise:
            InitialiseDma(receive);
            break;
        case reg::kDcarPauseAll:
            PauseDma(false);
            PauseDma(true);
            break;
        default:
            GuestError(Describe("unsupported DCAR command", command));
            break;
    }
}

void SimCard::InitialiseDma(bool receive) {
    const uint16_t mode = receive ? chip_.rdmr : chip_.tdmr;
    if ((mode & reg::kDmrLinkedList) != reg::kDmrLinkedList) {
        GuestError(Describe(receive ? "receive DMA started outside linked-list mode, RDMR"
                                    : "transmit DMA started outside linked-list mode, TDMR",
                            mode));
        return;
    }
    if (!receive) {
        CutOffTransmit();  // a frame still going out is cut off by the new list
    }
    DmaChannel& ch = receive ? chip_.rx_dma : chip_.tx_dma;
    ch = DmaChannel{};
    ch.running = true;
    ch.entry = receive ? (static_cast<uint32_t>(chip_.nraru) << 16) | chip_.nrarl
                       : (static_cast<uint32_t>(chip_.ntaru) << 16) | chip_.ntarl;
}

void SimCard::PauseDma(bool receive) {
    DmaChannel& ch = receive ? chip_.rx_dma : chip_.tx_dma;
    ch.running = false;
    if (!receive) {
        CutOffTransmit();
    }
}

bool SimCard::ReadEntry(uint32_t address, ListEntry* entry) {
    if (address > memory_.size() - kEntryBytes) {
        GuestError(Describe("DMA list entry outside card memory at", address));
        return false;
    }
    const uint8_t* p = memory_.data() + address;
    *entry = {.buffer = Le32(p),
              .count = Le16(p + 4),
              .status = Le16(p + 6),
              .receive_count = Le16(p + 8),
              .spare = Le16(p + 10),
              .link = Le32(p + 12)};
    return true;
}

void SimCard::WriteEntryWord(uint32_t entry, unsigned field, uint16_t value) {
    // ReadEntry checked the whole entry lies in card memory before any write-back.
    memory_[entry + field] = static_cast<uint8_t>(value);
    memory_[entry + field + 1] = static_cast<uint8_t>(value >> 8);
}

bool SimCard::FetchBuffer(bool receive) {
    DmaChannel& ch = receive ? chip_.rx_dma : chip_.tx_dma;
    ListEntry entry{};
    if (!ReadEntry(ch.entry, &entry)) {
        EndOfList(receive);
        return false;
    }
    if (entry.count == 0) {
        // An entry whose count is 0 (never filled, or not yet given back after the DMA
        // cleared it) ends the list: the channel stops here until initialised again.
        EndOfList(receive);
        return false;
    }
    WriteEntryWord(ch.entry, kEntryCount, 0);
    if (receive) {
        rx_frame_ends_.erase(ch.entry);  // the entry holds a new buffer from now on
    }
    ch.link = entry.link;
    ch.buffer = entry.buffer;
    ch.position = 0;
    ch.count = entry.buffer < memory_.size()
                   ? std::min<uint32_t>(entry.count, memory_.size() - entry.buffer)
                   : 0;
    if (ch.count < entry.count) {
        GuestError(Describe("DMA buffer runs past the end of card memory at", entry.buffer));
    }
    if (ch.count == 0) {
        EndOfList(receive);
        return false;
    }
    ch.have_buffer = true;
    return true;
}

void SimCard::EndOfList(bool receive) {
    DmaChannel& ch = receive ? chip_.rx_dma : chip_.tx_dma;
    ch.running = false;
    ch.have_buffer = false;
    DmaStatus(receive, reg::kDmrEndOfList);
}

void SimCard::DmaStatus(bool receive, uint8_t bits) {
    (receive ? chip_.rdmr_status : chip_.tdmr_status) |= bits;
    const uint16_t arms = receive ? chip_.rdiar : chip_.tdiar;
    if ((bits & arms) != 0) {
        chip_.dma_pending |= receive ? reg::kDmaReceive : reg::kDmaTransmit;
    }
    UpdateInterrupt();
}

void SimCard::CloseReceiveBuffer(uint16_t status, uint32_t counted) {
    // The status block goes into the entry the moment the buffer ends, before the end of
    // buffer status and its interrupt: the driver finds both words in place when it looks.
    DmaChannel& ch = chip_.rx_dma;
    const uint16_t count = counted < chip_.rclr ? static_cast<uint16_t>(chip_.rclr - counted) : 0;
    WriteEntryWord(ch.entry, kEntryStatus, status);
    WriteEntryWord(ch.entry, kEntryReceiveCount, count);
    ch.entry = ch.link;
    ch.have_buffer = false;
    DmaStatus(true, reg::kDmrEndOfBuffer);
}

bool SimCard::StoreFrame(const std::vector<uint8_t>& bytes, uint16_t status) {
    DmaChannel& ch = chip_.rx_dma;
    const uint32_t total = static_cast<uint32_t>(bytes.size());
    uint32_t stored = 0;
    // Each pass fills at least one byte or ends the frame, so total + 1 passes bound the walk.
    for (uint32_t pass = 0; pass <= total; ++pass) {
        if (!ch.have_buffer && !FetchBuffer(true)) {
            return false;  // the list ran dry: the rest of the frame is lost
        }
        const uint32_t take = std::min(ch.count - ch.position, total - stored);
        std::memcpy(memory_.data() + ch.buffer + ch.position, bytes.data() + stored, take);
        ch.position += take;
        stored += take;
        if (stored == total) {
            rx_frame_ends_[ch.entry] = now_ns_;  // the closing flag's time, for the host
            CloseReceiveBuffer(status, total);
            return true;
        }
        // The buffer is full and the frame goes on in the next one.
        CloseReceiveBuffer(0, std::min(total, stored + kReceiverLead));
    }
    return false;
}

void SimCard::NoteEntriesGivenBack(uint32_t address, size_t length) {
    // Only entries whose count word (+4, two bytes) the write touched can have been given back.
    auto it = rx_frame_ends_.lower_bound(address > kEntryCount + 1 ? address - kEntryCount - 1 : 0);
    while (it != rx_frame_ends_.end() && it->first + kEntryCount < address + length) {
        const uint32_t count_at = it->first + kEntryCount;
        if (count_at + 2 <= address || Le16(memory_.data() + count_at) == 0) {
            ++it;
            continue;
        }
        const uint64_t arrival_ns = it->second;
        it = rx_frame_ends_.erase(it);
        if (frame_taken_) {
            frame_taken_(arrival_ns);
        }
    }
}

void SimCard::SetFrameTakenHandler(std::function<void(uint64_t arrival_ns)> handler) {
    frame_taken_ = std::move(handler);
}

}  // namespace qorval::sim
