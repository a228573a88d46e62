#include "analyser/timed_read.h"

#include <algorithm>

namespace qorval::analyser {

uint32_t ReadTimedFrame(QORVAL_HANDLE handle, uint8_t* buffer, uint16_t size, uint32_t* length,
                        uint64_t* arrivalNs, const std::function<uint64_t()>& clock) {
    *length = 0;
    *arrivalNs = 0;
    const uint32_t result = QORVAL_GetDataTimed(handle, buffer, size, length, arrivalNs);
    // The library's count is outside input: never believe more than the buffer holds.
    *length = std::min<uint32_t>(*length, size);
    if (*arrivalNs == 0) {
        *arrivalNs = clock();
    }
    return result;
}

}  // namespace qorval::analyser
