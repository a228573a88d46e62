#include "portaccess/library/transmit_drain.h"

namespace qorval::library {

DrainOutcome AwaitTransmitDrain(uint16_t buffers,
                                const std::function<std::optional<uint16_t>()>& free_buffers,
                                const DrainTiming& timing) {
    std::optional<uint16_t> last = free_buffers();
    auto last_progress = timing.now();
    while (last && *last < buffers) {
        if (timing.now() - last_progress >= timing.no_progress_limit) {
            return DrainOutcome::NoProgress;
        }
        timing.sleep(timing.pause);
        const std::optional<uint16_t> now = free_buffers();
        if (now && *now > *last) {
            last_progress = timing.now();
        }
        last = now;
    }
    return last ? DrainOutcome::Drained : DrainOutcome::Failed;
}

}  // namespace qorval::library
