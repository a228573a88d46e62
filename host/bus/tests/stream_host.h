#pragma once
// An in-process driver host in a fresh temporary prefix, with byte-stream peers that are plain
// sockets, and the port opened through the real port access library.

#include <chrono>
#include <cstdint>
#include <filesystem>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "host/driver_host.h"
#include "portaccess/qorval32.h"

namespace qorval::host::testing {

inline constexpr uint16_t kAdapterDriver = 3;
inline constexpr auto kGenerous = std::chrono::seconds(20);

// True once `done` holds, checked until the generous bound.
bool Eventually(const std::function<bool()>& done,
                std::chrono::milliseconds bound =
                    std::chrono::duration_cast<std::chrono::milliseconds>(kGenerous));

class StreamHost {
  public:
    // A host with `ports` open-wired ports, lines at their clock rate or unlimited.
    explicit StreamHost(unsigned ports = 1, bool unlimited_rate = true);
    ~StreamHost();

    bool started() const { return started_; }
    wyvel32::host::DriverHost& host() { return *host_; }
    SimulatedBus& bus() { return host_->bus(); }
    const std::filesystem::path& prefix() const { return prefix_; }

    // Wires the port to a Unix socket in the prefix; returns its path (empty on failure).
    std::string WireUnix(unsigned port);
    // Wires the port to a TCP port chosen by the system on 127.0.0.1; returns it (0: failure).
    uint16_t WireTcp(unsigned port);

  private:
    std::filesystem::path prefix_;
    std::unique_ptr<wyvel32::host::DriverHost> host_;
    bool started_ = false;
};

// A socket peer.
int ConnectUnix(const std::string& path);
int ConnectTcp(uint16_t port);
// A TCP peer that has sent the stream token of the host's prefix, as every TCP peer must.
int ConnectTcpWithToken(const StreamHost& host, uint16_t port);
// The secret TCP peers send first, as the host keeps it under the prefix.
std::string StreamToken(const StreamHost& host);
bool WriteAll(int fd, const std::vector<uint8_t>& bytes);
// Reads exactly n bytes (false on end of stream or the generous bound).
bool ReadExactly(int fd, size_t n, std::vector<uint8_t>* out);
// True when the peer's socket reaches its end (the host closed it) within the bound.
bool SeesEndOfStream(int fd);

// A port opened through the port access library.
class OpenedPort {
  public:
    explicit OpenedPort(uint16_t port);
    ~OpenedPort();
    bool ok() const { return handle_ != 0; }
    QORVAL_HANDLE handle() const { return handle_; }
    bool Send(const std::vector<uint8_t>& frame);
    // The next frame received, waiting up to the generous bound; empty when none came.
    std::vector<uint8_t> NextFrame();

  private:
    QORVAL_HANDLE handle_ = 0;
};

std::vector<uint8_t> Pattern(size_t n, uint8_t seed = 0);

}  // namespace qorval::host::testing
