#pragma once
// The library's open handles: non-zero 32-bit numbers mapped to their connections.

#include <cstdint>
#include <map>
#include <memory>
#include <mutex>

#include "portaccess/library/device_connection.h"

namespace qorval::library {

class HandleTable {
  public:
    static HandleTable& Instance();

    uint32_t Add(std::unique_ptr<DeviceConnection> connection);
    // The connection stays alive while a caller uses it, even when another thread closes
    // the handle meanwhile.
    std::shared_ptr<DeviceConnection> Find(uint32_t handle);
    bool Remove(uint32_t handle);

  private:
    std::mutex mutex_;
    std::map<uint32_t, std::shared_ptr<DeviceConnection>> open_;
    uint32_t next_ = 1;
};

}  // namespace qorval::library
