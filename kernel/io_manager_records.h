#pragma once
// The I/O manager's records of the open handles and of the functions on the bus, shared by
// the files that implement IoManager. Not for drivers or hosts.

#include <condition_variable>
#include <map>
#include <memory>

#include "kernel/io_manager.h"

namespace qorval::kernel {

struct IoManager::HandleEntry {
    Handle Id = 0;
    std::shared_ptr<DeviceObject> Device;
    std::shared_ptr<DeviceActivity> Activity;  // of the function under the device, if any
    std::unique_ptr<kernel::FileObject> File;
    std::map<RequestId, std::shared_ptr<Irp>> Outstanding;  // guarded by the manager's lock
    RequestId NextRequest = 1;
    bool Closing = false;
    std::condition_variable Drained;
};

struct IoManager::Function {
    std::shared_ptr<DeviceObject> Pdo;
    PhysicalDeviceInfo* Info = nullptr;  // the physical device object's extension
    std::shared_ptr<DeviceActivity> Activity = std::make_shared<DeviceActivity>();
};

}  // namespace qorval::kernel
