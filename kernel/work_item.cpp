#include "kernel/work_item.h"

#include "kernel/io_manager.h"

namespace qorval::kernel {

IoWorkItem* IoAllocateWorkItem(DeviceObject* device) {
    return new IoWorkItem{device};
}

void IoQueueWorkItem(IoWorkItem* item, WorkItemRoutine routine, void* context) {
    // The reference keeps the device object in memory until the routine has run, even when
    // the device is deleted meanwhile.
    std::shared_ptr<DeviceObject> device = item->Device->Manager.Reference(item->Device);
    DeviceObject* raw = item->Device;
    raw->Manager.QueueWork([device, raw, routine, context] { routine(raw, context); });
}

void IoFreeWorkItem(IoWorkItem* item) {
    delete item;
}

}  // namespace qorval::kernel
