// Drives a looped-back simulated card with arbitrary register writes, card-memory contents and
// time steps. List entries and registers are the driver's (untrusted) input to the model: any
// sequence must leave it running, never reading or writing outside card memory, and every
// step must end (the walks are bounded).
#include "sim/sim_card.h"

#include <cstdint>

#include "sim/iusc_registers.h"
#include "sim/line.h"

using namespace qorval::sim;

namespace {

class Input {
  public:
    Input(const uint8_t* data, size_t size) : data_(data), size_(size) {}
    bool Empty() const { return pos_ >= size_; }
    uint8_t Byte() { return pos_ < size_ ? data_[pos_++] : 0; }
    uint16_t Word() { return static_cast<uint16_t>(Byte() | (Byte() << 8)); }

  private:
    const uint8_t* data_;
    size_t size_;
    size_t pos_ = 0;
};

// A channel ready to move frames: linked-list DMA, HDLC with CRC-32, all interrupts armed.
void Prepare(SimCard& card) {
    card.WriteBoard(board::kControl, board::kEnable);
    card.WriteReg16(reg::CCAR, 0x000F);
    const uint8_t offsets[] = {reg::CMR,   reg::RDMR,  reg::TDMR, reg::TMR, reg::RMR,
                               reg::TDIAR, reg::RDIAR, reg::DICR, reg::ICR, reg::RCLR,
                               reg::CMCR,  reg::HCR,   reg::TC0R};
    const uint16_t values[] = {0x0606, 0xF200, 0xF000, 0x1702, 0x1702, 0x000C, 0x000C,
                               0xA003, 0x80E8, 0xFFFF, 0x0021, 0x0001, 0};
    for (size_t i = 0; i < sizeof offsets; ++i) {
        card.WriteReg16(offsets[i], values[i]);
    }
    card.WriteReg8(reg::RICR, 0x0A);
    card.WriteReg8(reg::TICR, 0x22);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    SimCard card;
    Prepare(card);
    auto line = Line::Loopback(card);
    line->SetRate((size & 1) != 0 ? Line::Rate::FromClock : Line::Rate::Unlimited);
    Input in(data, size);
    while (!in.Empty()) {
        switch (in.Byte() % 7) {
            case 0:
                card.WriteBoard(in.Byte() & 7, in.Byte());
                break;
            case 1:
                card.WriteReg16(in.Byte(), in.Word());
                break;
            case 2:
                card.WriteReg8(in.Byte(), in.Byte());
                break;
            case 3:
                card.ReadReg16(in.Byte() & 0xFE);
                break;
            case 4: {
                // A run of card memory, where list entries and buffers live.
                const uint32_t address = (in.Word() | (in.Byte() << 16)) % kCardMemoryBytes;
                const size_t length = in.Byte();
                auto memory = card.CardMemory();
                for (size_t i = 0; i < length && address + i < memory.size(); ++i) {
                    memory[address + i] = in.Byte();
                }
                break;
            }
            case 5:
                line->Advance(static_cast<uint64_t>(in.Word()) * 1000);
                break;
            case 6:
                line->RunUntilIdle(1'000'000'000);
                break;
        }
    }
    line->RunUntilIdle(10'000'000'000ull);
    return 0;
}
