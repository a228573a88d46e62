#pragma once
// Kernel status of a registry store result.

#include "driver/ntstatus.h"
#include "platform/registry.h"

namespace wyvel32 {

NTSTATUS RegistryStatus(const qorval::platform::RegResult& result);

}  // namespace wyvel32
