#include <thread>

#include "bert/pattern.h"
#include "bert/workers.h"
#include "portaccess/qorval_port.h"

namespace qorval::bert {

void TransmitWorker(TransmitParams params) {
    const QORVAL_HANDLE handle = params.port->GetHandle();
    auto running = [&] { return params.running->load(std::memory_order_relaxed) != 0; };
    while (running()) {
        // The count is asked of the library itself, not through TxBuffersFree, so that a count
        // that fails is told apart from a full ring.
        uint16_t waiting = 0;
        uint16_t free = 0;
        for (;;) {
            const uint32_t counted = QORVAL_GetBufferCount(handle, &waiting, &free);
            if (counted != QORVAL_OK) {
                if (PortGone(*params.port, counted, *params.portLoss)) {
                    return;
                }
                free = 0;
            }
            if (free != 0) {
                break;
            }
            if (!running()) {
                return;  // stopped while no buffer ever freed
            }
            std::this_thread::yield();
        }
        // Every buffer counted free is filled before the count is asked again, so the ring
        // stays full at a line rate where one count per frame would leave it running dry.
        for (; free > 0 && running(); --free) {
            const uint32_t put = QORVAL_PutData(handle, kPattern.data(), kFrameSize);
            if (put != QORVAL_OK) {
                if (PortGone(*params.port, put, *params.portLoss)) {
                    return;
                }
                break;  // the count was stale: ask again
            }
            AddOne(*params.txFrames);
        }
    }
}

}  // namespace qorval::bert
