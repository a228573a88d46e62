#include "portaccess/library/handle_table.h"

namespace qorval::library {

HandleTable& HandleTable::Instance() {
    static HandleTable table;
    return table;
}

uint32_t HandleTable::Add(std::unique_ptr<DeviceConnection> connection) {
    std::lock_guard lock(mutex_);
    // Handles are not reused while open; 0 is never a handle.
    while (next_ == 0 || open_.count(next_) != 0) {
        ++next_;
    }
    const uint32_t handle = next_++;
    open_.emplace(handle, std::move(connection));
    return handle;
}

std::shared_ptr<DeviceConnection> HandleTable::Find(uint32_t handle) {
    std::lock_guard lock(mutex_);
    const auto it = open_.find(handle);
    return it == open_.end() ? nullptr : it->second;
}

bool HandleTable::Remove(uint32_t handle) {
    std::lock_guard lock(mutex_);
    return open_.erase(handle) != 0;
}

}  // namespace qorval::library
