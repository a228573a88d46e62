#include <new>
#include <vector>

#include "bert/workers.h"
#include "portaccess/qorval_port.h"

namespace qorval::bert {
namespace {

void CountError(BertCounters& c, uint32_t result) {
    switch (result) {
        case QORVAL_LINE_ERROR:
            AddOne(c.lineErrors);
            break;
        case QORVAL_OVERRUN:
            AddOne(c.overrunErrors);
            break;
        case QORVAL_CRC_ERROR:
            AddOne(c.crcErrors);
            break;
        default:
            AddOne(c.otherErrors);
            break;
    }
}

}  // namespace

void ReceiveWorker(ReceiveParams params) {
    const QORVAL_HANDLE handle = params.port->GetHandle();
    PortInfo info{};
    if (const uint32_t result = params.port->GetPortInfo(info); result != QORVAL_OK) {
        // Without the largest frame size there is no buffer to read into.
        (void)PortGone(*params.port, result, *params.portLoss);
        return;
    }
    std::vector<uint8_t> buffer;
    try {
        buffer.resize(info.maxRxFrame);
    } catch (const std::bad_alloc&) {
        return;
    }
    BertCounters& c = *params.counters;
    while (params.running->load(std::memory_order_relaxed) != 0) {
        uint32_t length = 0;
        const uint32_t result =
            QORVAL_GetData(handle, buffer.data(), static_cast<uint16_t>(buffer.size()), &length);
        // The library never hands back more than asked for; a faulty length is clamped.
        if (length > buffer.size()) {
            length = static_cast<uint32_t>(buffer.size());
        }
        if (length > 0) {
            if (params.repeatMode->load(std::memory_order_relaxed) != 0 &&
                QORVAL_PutData(handle, buffer.data(), length) == QORVAL_OK) {
                AddOne(c.txFrames);
            }
            AddOne(c.rxFrames);
            c.noDataTicks.store(0, std::memory_order_relaxed);
            params.checker->Check(buffer.data(), length, c);
        }
        if (result != QORVAL_OK) {
            if (PortGone(*params.port, result, *params.portLoss)) {
                return;
            }
            CountError(c, result);
        }
    }
}

}  // namespace qorval::bert
