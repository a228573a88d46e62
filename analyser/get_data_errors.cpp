#include "analyser/get_data_errors.h"

#include <array>

namespace qorval::analyser {
namespace {

// The text that takes a frame's place when QORVAL_GetData fails, by result code.
constexpr std::array<std::string_view, 19> kGetDataErrors = {
    "",
    "CRC error on GetData!",
    "Parity error on GetData!",
    "Overrun error on GetData!",
    "Invalid parameter error on GetData!",
    "DMA frame buffer overflow error on GetData!",
    "Feature not supported error on GetData!",
    "Port Not Open error on GetData!",
    "Invalid name error on GetData!",
    "Sharing violation error on GetData!",
    "Port number error on GetData!",
    "Invalid driver type error on GetData!",
    "Buffer error on GetData!",
    "Incomplete error on GetData!",
    "General error on GetData!",
    "I/O Pending error on GetData!",
    "No Transmit buffer error on GetData!",
    "Line error on GetData!",
    "Invalid Handle error on GetData!",
};
constexpr std::string_view kUnknownGetDataError = "Unknown error on GetData!";

}  // namespace

std::string_view GetDataErrorText(uint32_t result) {
    return result > 0 && result < kGetDataErrors.size() ? kGetDataErrors[result]
                                                        : kUnknownGetDataError;
}

}  // namespace qorval::analyser
