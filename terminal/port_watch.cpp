#include "terminal/port_watch.h"

#include "portaccess/qorval_port.h"

namespace qorval::terminal {

bool PortWatch::Check(uint32_t result) {
    if (Lost() || result == 0) {
        return Lost();
    }
    loss_ =
        RecognisePortLoss(port_.GetHandle(), port_.GetDriverType(), port_.GetPortNumber(), result);
    if (Lost()) {
        cancel_.store(true, std::memory_order_relaxed);
    }
    return Lost();
}

}  // namespace qorval::terminal
