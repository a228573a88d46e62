#include "terminal/receive_losses.h"

#include "portaccess/qorval32.h"
#include "terminal/user_interface.h"

namespace qorval::terminal {
namespace {

constexpr const char* kLossesStatus = "Receive errors: %u  Overruns: %u";
constexpr const char* kLossInLog = "\r\n[Frame lost: %.*s]\r\n";

constexpr std::string_view kCrcError = "CRC error";
constexpr std::string_view kParityError = "parity error";
constexpr std::string_view kLineError = "line error";
constexpr std::string_view kOverrun = "overrun";
constexpr std::string_view kDmaOverflow = "DMA frame buffer overflow";

}  // namespace

std::optional<std::string_view> ReceiveLosses::Count(uint32_t result) {
    switch (result) {
        case QORVAL_CRC_ERROR:
            ++receive_errors_;
            return kCrcError;
        case QORVAL_PARITY_ERROR:
            ++receive_errors_;
            return kParityError;
        case QORVAL_LINE_ERROR:
            ++receive_errors_;
            return kLineError;
        case QORVAL_OVERRUN:
            ++overruns_;
            return kOverrun;
        case QORVAL_DMA_BUFFER_OVERFLOW:
            ++overruns_;
            return kDmaOverflow;
        default:
            return std::nullopt;
    }
}

std::string ReceiveLosses::StatusText() const {
    return Format(kLossesStatus, receive_errors_, overruns_);
}

std::string ReceiveLosses::LogMarker(std::string_view cause) {
    return Format(kLossInLog, static_cast<int>(cause.size()), cause.data());
}

}  // namespace qorval::terminal
