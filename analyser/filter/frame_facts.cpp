#include "analyser/filter/frame_facts.h"

#include "portaccess/qorval32.h"

namespace qorval::analyser {

FrameError ErrorOf(const FrameFacts& facts) {
    switch (facts.result) {
        case QORVAL_OK:
            break;
        case QORVAL_CRC_ERROR:
            return FrameError::Crc;
        case QORVAL_OVERRUN:
        case QORVAL_DMA_BUFFER_OVERFLOW:
            return FrameError::Overrun;
        default:
            return FrameError::Other;
    }
    if (facts.sendFailed) {
        return FrameError::Other;
    }
    if (facts.decoded != nullptr) {
        switch (facts.decoded->GetProblem()) {
            case decode::Problem::Short:
                return FrameError::Short;
            case decode::Problem::Malformed:
                return FrameError::Malformed;
            case decode::Problem::None:
                break;
        }
    }
    return FrameError::None;
}

}  // namespace qorval::analyser
