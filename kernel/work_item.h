#pragma once
// Work items (IoAllocateWorkItem, IoQueueWorkItem, IoFreeWorkItem): routines run at passive
// level on the I/O manager's system worker thread. The device object stays referenced while
// an item is queued.

#include "kernel/device_object.h"

namespace qorval::kernel {

using WorkItemRoutine = void (*)(DeviceObject* device, void* context);

struct IoWorkItem {
    DeviceObject* Device = nullptr;
};

IoWorkItem* IoAllocateWorkItem(DeviceObject* device);
void IoQueueWorkItem(IoWorkItem* item, WorkItemRoutine routine, void* context);
void IoFreeWorkItem(IoWorkItem* item);

}  // namespace qorval::kernel
