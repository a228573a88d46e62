#include "portaccess/library/status_map.h"

#include "driver/ntstatus.h"
#include "portaccess/qorval32.h"

namespace qorval::library {

namespace {
// Status codes the I/O manager gives for a second open of an exclusive device.
constexpr uint32_t kStatusAccessDenied = 0xC0000022;
constexpr uint32_t kStatusSharingViolation = 0xC0000043;
}  // namespace

uint32_t ResultFromStatus(RequestKind kind, uint32_t status) {
    using namespace wyvel32;
    switch (status) {
        case STATUS_SUCCESS:
            return QORVAL_OK;
        case STATUS_CRC_ERROR:
            return QORVAL_CRC_ERROR;
        case STATUS_DATA_OVERRUN:
            return QORVAL_OVERRUN;
        case STATUS_INVALID_PARAMETER:
            return QORVAL_INVALID_PARAMETER;
        case STATUS_INFO_LENGTH_MISMATCH:
        case STATUS_BUFFER_OVERFLOW:
            return QORVAL_BUFFER_ERROR;
        case STATUS_DEVICE_BUSY:
            return kind == RequestKind::Write ? QORVAL_NO_TX_BUFFER : QORVAL_GENERAL_ERROR;
        case STATUS_PENDING:
            return QORVAL_IO_PENDING;
        case STATUS_INVALID_DEVICE_REQUEST:
        case STATUS_NOT_SUPPORTED:
            return QORVAL_NOT_SUPPORTED;
        case kStatusAccessDenied:
        case kStatusSharingViolation:
            return QORVAL_SHARING_VIOLATION;
        case STATUS_OBJECT_NAME_NOT_FOUND:
        case STATUS_NO_SUCH_DEVICE:
            return kind == RequestKind::Open ? QORVAL_PORT_NUMBER : QORVAL_GENERAL_ERROR;
        case STATUS_DELETE_PENDING:
            return kind == RequestKind::Open ? QORVAL_PORT_NUMBER : QORVAL_PORT_NOT_OPEN;
        default:
            return QORVAL_GENERAL_ERROR;
    }
}

}  // namespace qorval::library
