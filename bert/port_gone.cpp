#include "bert/workers.h"
#include "portaccess/qorval_port.h"

namespace qorval::bert {

bool PortGone(Qorval_Port& port, uint32_t result, SharedPortLoss& loss) {
    const PortLoss found =
        RecognisePortLoss(port.GetHandle(), port.GetDriverType(), port.GetPortNumber(), result);
    if (found == PortLoss::kNone) {
        return false;
    }
    PortLoss none = PortLoss::kNone;
    loss.compare_exchange_strong(none, found, std::memory_order_relaxed);
    return true;
}

}  // namespace qorval::bert
