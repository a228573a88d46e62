// Temporary: engines arrive with DMA and the line.
#include "sim/sim_card.h"
namespace qorval::sim {
void SimCard::DmaCommand(uint8_t, bool) {}
void SimCard::PurgeReceiver() {}
void SimCard::Kick() {}
void SimCard::OnChipReset() {}
void SimCard::ClearLineFaults() {}
void SimCard::AdvanceTo(uint64_t t) {
    if (t > now_ns_)
        now_ns_ = t;
}
}  // namespace qorval::sim
