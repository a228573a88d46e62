#include "driver/registry_status.h"

namespace wyvel32 {

NTSTATUS RegistryStatus(const qorval::platform::RegResult& result) {
    using qorval::platform::RegStatus;
    switch (result.status) {
        case RegStatus::Ok:
            return STATUS_SUCCESS;
        case RegStatus::NotFound:
            return STATUS_OBJECT_NAME_NOT_FOUND;
        case RegStatus::WrongType:
            return STATUS_OBJECT_TYPE_MISMATCH;
        case RegStatus::InvalidArgument:
            return STATUS_INVALID_PARAMETER;
        case RegStatus::Corrupt:
        case RegStatus::IoError:
            break;
    }
    return STATUS_UNSUCCESSFUL;
}

}  // namespace wyvel32
