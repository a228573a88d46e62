#include "portaccess/library/transmit_drain.h"

namespace qorval::library {

DrainOutcome AwaitTransmitDrain(uint16_t buffers,
                                const std::function<std::optional<uint16_t>()>& free_buffers,
                                const DrainTiming& timing) {
    std::optional<uint16_t> last = free_buffers();
    // Progress is a count of free buffers above any seen before: a frame queued meanwhile by
    // another thread of the caller (which it should not do) cannot keep the wait going.
    uint16_t most_free = last.value_or(0);
    auto last_progress = timing.now();
    while (last && *last < buffers) {
        if (timing.now() - last_progress >= timing.no_progress_limit) {
            return DrainOutcome::NoProgress;
        }
        timing.sleep(timing.pause);
        last = free_buffers();
        if (last && *last > most_free) {
            most_free = *last;
            last_progress = timing.now();
        }
    }
    return last ? DrainOutcome::Drained : DrainOutcome::Failed;
}

}  // namespace qorval::library
