#pragma once
// A driver host running inside a test or benchmark process, in a fresh prefix of its own:
// QORVAL_PREFIX points at a new temporary directory for the object's life, so the real port
// access library (libqorval32) finds this host's sockets and nobody else's. The prefix is
// removed afterwards.
//
// Header only: users link qorval_driver_host and qorval_platform.

#include <stdlib.h>

#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <memory>
#include <string>
#include <string_view>

#include "driver/driver_context.h"
#include "host/driver_host.h"
#include "platform/registry.h"

namespace qorval::host::testing {

class InProcessHost {
  public:
    explicit InProcessHost(BusOptions options) : options_(options) {
        std::string name = (std::filesystem::temp_directory_path() / "qorval_e2e_XXXXXX").string();
        if (::mkdtemp(name.data()) == nullptr) {
            error_ = "cannot make a temporary prefix";
            return;
        }
        prefix_ = name;
        ::setenv("QORVAL_PREFIX", prefix_.c_str(), 1);
        host_ = std::make_unique<wyvel32::host::DriverHost>(options_);
        std::string warnings;
        error_ = host_->Start(&warnings);
        if (error_.empty() && !warnings.empty()) {
            error_ = warnings;  // a port that did not start makes every figure meaningless
        }
    }
    ~InProcessHost() {
        host_.reset();  // clients, devices and driver go before the prefix does
        if (!prefix_.empty()) {
            std::error_code ec;
            std::filesystem::remove_all(prefix_, ec);
        }
    }
    InProcessHost(const InProcessHost&) = delete;
    InProcessHost& operator=(const InProcessHost&) = delete;

    // Empty when the host runs with every port started.
    const std::string& Error() const { return error_; }
    wyvel32::host::DriverHost& Host() { return *host_; }
    const std::filesystem::path& Prefix() const { return prefix_; }

    // Writes one value of a port's key. Line and clock values take effect at the port's next
    // open, so this is how a test chooses, say, the bit rate before its tools open the ports.
    bool SetPortValue(unsigned port, std::string_view name, uint32_t value) {
        platform::Registry registry(prefix_ / "system.reg");
        return registry.SetDword(PortKey(port), name, value).ok();
    }

    static std::string PortKey(unsigned port) {
        char key[16];
        std::snprintf(key, sizeof key, "\\Port%03u", port);
        return std::string(wyvel32::kServiceKeyPath) + "\\Parameters" + key;
    }

  private:
    BusOptions options_;
    std::filesystem::path prefix_;
    std::string error_;
    std::unique_ptr<wyvel32::host::DriverHost> host_;
};

}  // namespace qorval::host::testing
