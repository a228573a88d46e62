// A port access library that lacks most of the contract: it has only QORVAL_GetSystemInfo.
#include "portaccess/qorval32.h"

extern "C" __attribute__((visibility("default"))) uint32_t QORVAL_GetSystemInfo(SystemInfo*) {
    return QORVAL_GENERAL_ERROR;
}
