// Reading the frame that waits on a port together with the time it arrived, for every reader
// of frames in the analyser (the capture's poll step, the extcap program).
#pragma once

#include <cstdint>
#include <functional>

#include "portaccess/qorval32.h"

namespace qorval::analyser {

// QORVAL_GetDataTimed into `buffer` of `size` bytes: the library's result, the frame's length
// (never more than `size`, whatever the library says) and its arrival time (frame_time.h), or
// `clock()` when the library gives none (a library of an earlier release).
uint32_t ReadTimedFrame(QORVAL_HANDLE handle, uint8_t* buffer, uint16_t size, uint32_t* length,
                        uint64_t* arrivalNs, const std::function<uint64_t()>& clock);

}  // namespace qorval::analyser
