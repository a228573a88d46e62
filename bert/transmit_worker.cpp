#include <thread>

#include "bert/pattern.h"
#include "bert/workers.h"
#include "portaccess/qorval_port.h"

namespace qorval::bert {

void TransmitWorker(TransmitParams params) {
    const QORVAL_HANDLE handle = params.port->GetHandle();
    auto running = [&] { return params.running->load(std::memory_order_relaxed) != 0; };
    while (running()) {
        uint16_t free = params.port->TxBuffersFree();
        while (free == 0) {
            if (!running()) {
                return;  // stopped while no buffer ever freed
            }
            std::this_thread::yield();
            free = params.port->TxBuffersFree();
        }
        // Every buffer counted free is filled before the count is asked again, so the ring
        // stays full at a line rate where one count per frame would leave it running dry.
        for (; free > 0 && running(); --free) {
            if (QORVAL_PutData(handle, kPattern.data(), kFrameSize) != QORVAL_OK) {
                break;  // the count was stale: ask again
            }
            AddOne(*params.txFrames);
        }
    }
}

}  // namespace qorval::bert
