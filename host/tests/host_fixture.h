#pragma once
// An in-process driver host in a fresh temporary prefix, and the clients the tests reach it
// with: the port access library, a raw device-socket client (for messages the library never
// sends) and the control socket.

#include <gtest/gtest.h>
#include <sys/socket.h>

#include <chrono>
#include <filesystem>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "host/bus/simulated_bus.h"
#include "host/driver_host.h"
#include "host/protocol/device_protocol.h"
#include "host/protocol/ring_region.h"
#include "portaccess/qorval32.h"

namespace qorval::host::testing {

// A bound for waits on the real-time host: generous, only there so a fault fails instead of
// hanging.
inline constexpr std::chrono::milliseconds kGenerousBound{10000};

// Polls `condition` until it holds or `bound` has passed; returns whether it held.
bool WaitFor(const std::function<bool()>& condition,
             std::chrono::milliseconds bound = kGenerousBound);

// A fresh prefix folder; QORVAL_PREFIX points at it for the life of the object.
class TemporaryPrefix {
  public:
    TemporaryPrefix();
    ~TemporaryPrefix();
    TemporaryPrefix(const TemporaryPrefix&) = delete;
    TemporaryPrefix& operator=(const TemporaryPrefix&) = delete;
    const std::filesystem::path& path() const { return path_; }

  private:
    std::filesystem::path path_;
};

// A Unix socket of `type` (SOCK_SEQPACKET, SOCK_STREAM) connected to `path`, waiting for room in
// its queue; -1 when it cannot connect.
int ConnectTo(const std::filesystem::path& path, int type = SOCK_SEQPACKET);

// Sends one command to the control socket of the prefix's host and returns its answer
// ("ok..." or "error: ..."); an empty string when the host did not answer.
std::string ControlCommand(const std::string& command);

// Sets one DWORD value in a port's registry key under the prefix (the host must not run).
void SetPortValue(unsigned port, const std::string& name, uint32_t value);

// A client of one device socket speaking the message protocol directly.
class RawClient {
  public:
    RawClient() = default;
    ~RawClient();
    RawClient(const RawClient&) = delete;
    RawClient& operator=(const RawClient&) = delete;

    bool Connect(unsigned port);
    // Connects and sends the create request; returns the create status (or ~0u when the host
    // did not answer). With `ring`, asks for the request ring and takes it (see ring()).
    uint32_t Open(unsigned port, bool synchronous = true, bool ring = false);
    bool SendBytes(const std::vector<uint8_t>& bytes);
    bool Send(protocol::Request request);
    // The next reply within the bound; false on timeout, a closed connection or a garbled one.
    bool Receive(protocol::Reply& reply);
    // One request and its reply.
    bool Transact(protocol::Request request, protocol::Reply& reply);
    // Waits until the host closes the connection; true when it did within the bound.
    bool ClosedByHost();
    void Close();
    int fd() const { return fd_; }

    // The ring the host handed over at the create, or null.
    protocol::ring::RingRegion* ring() const { return ring_.get(); }
    // Puts a request in a slot of the ring and on the submission ring, as the library does
    // (raw access to ring() lets a test write anything instead).
    void SubmitOnRing(uint32_t slot, protocol::Function function, uint32_t control_code,
                      uint32_t output_length, const std::vector<uint8_t>& input = {});
    // Publishes `count` more submission entries (whatever the entries hold) and wakes the host.
    void PublishOnRing(uint32_t count);
    // Waits until the slot is completed; false when the bound passed.
    bool AwaitOnRing(uint32_t slot);

  private:
    int fd_ = -1;
    uint32_t next_sequence_ = 1;
    std::unique_ptr<protocol::ring::RingRegion> ring_;
    uint32_t ring_tail_ = 0;
};

// A device control request for a raw client.
protocol::Request ControlRequest(uint32_t code, uint32_t input_length, uint32_t output_length);

// A port opened through the library, closed at the end of the scope.
class LibraryPort {
  public:
    explicit LibraryPort(uint16_t port);
    ~LibraryPort();
    LibraryPort(const LibraryPort&) = delete;
    LibraryPort& operator=(const LibraryPort&) = delete;
    QORVAL_HANDLE handle() const { return handle_; }
    uint32_t open_result() const { return result_; }

    uint16_t FramesWaiting() const;
    uint16_t FreeTxBuffers() const;
    // Waits until a frame arrives and reads it into `frame` (buffer of `size`); returns the
    // read's result, or ~0u when nothing arrived within the bound. `arrivalNs`, when given,
    // receives the frame's arrival time.
    uint32_t AwaitFrame(std::vector<uint8_t>& frame, uint16_t size = 4096,
                        uint64_t* arrivalNs = nullptr) const;

  private:
    QORVAL_HANDLE handle_ = 0;
    uint32_t result_ = 0;
};

// A recognisable frame: its size and a sequence number spread over the bytes.
std::vector<uint8_t> PatternFrame(size_t size, uint32_t seed);

BusOptions PairAtUnlimitedRate(unsigned ports = 2);

// A test with its own prefix and an in-process host.
class HostTest : public ::testing::Test {
  protected:
    void TearDown() override;
    // Starts a host in the prefix and fails the test when it does not start; returns the
    // warnings (ports that failed to start).
    std::string StartHost(BusOptions options = PairAtUnlimitedRate());
    void StopHost();
    // Starts a host once so that the driver writes its default port keys, then stops it, so
    // a test can change single values before the real start.
    void WriteDefaultKeys(unsigned ports = 2);
    wyvel32::host::DriverHost& host() { return *host_; }
    // The kernel model's id of the function that carries `port`; 0 when none does.
    uint32_t DeviceOfPort(unsigned port);

    TemporaryPrefix prefix_;
    std::unique_ptr<wyvel32::host::DriverHost> host_;
};

}  // namespace qorval::host::testing
