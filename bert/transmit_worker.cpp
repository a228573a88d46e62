#include <thread>

#include "bert/pattern.h"
#include "bert/workers.h"
#include "portaccess/qorval_port.h"

namespace qorval::bert {

void TransmitWorker(TransmitParams params) {
    const QORVAL_HANDLE handle = params.port->GetHandle();
    auto running = [&] { return params.running->load(std::memory_order_relaxed) != 0; };
    while (running()) {
        while (params.port->TxBuffersFree() == 0) {
            if (!running()) {
                return;  // stopped while no buffer ever freed
            }
            std::this_thread::yield();
        }
        if (QORVAL_PutData(handle, kPattern.data(), kFrameSize) == QORVAL_OK) {
            AddOne(*params.txFrames);
        }
    }
}

}  // namespace qorval::bert
