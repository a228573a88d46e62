#pragma once
// One open handle of the library: a connection to a port's device socket, opened with a
// create request, and the transport its requests travel on afterwards (the host's request
// ring when it offers one, messages on the socket otherwise). The socket stays open for the
// handle's life: closing it is cleanup and close for the driver.

#include <atomic>
#include <cstdint>
#include <filesystem>
#include <memory>
#include <span>

#include "portaccess/library/seqpacket_client.h"
#include "portaccess/library/transport.h"

namespace qorval::library {

class DeviceConnection {
  public:
    // Connects and sends the create request. On success `out` holds the open connection;
    // the result is the library result code either way.
    static uint32_t Open(const std::filesystem::path& socket_path,
                         std::unique_ptr<DeviceConnection>& out);

    Completion Read(std::span<uint8_t> buffer);
    Completion Write(std::span<const uint8_t> frame);
    Completion Control(uint32_t code, std::span<const uint8_t> input, std::span<uint8_t> output);
    bool OnRing() const { return on_ring_; }
    // True once a write has queued a frame on this handle: only then has a close anything to
    // wait for (transmit_drain.h).
    bool HasQueuedFrames() const { return wrote_.load(std::memory_order_relaxed); }

  private:
    DeviceConnection() = default;
    // Sends the create request and takes the transport its reply offers. Returns the create
    // status, or nothing when the host did not answer sensibly.
    bool Create(uint32_t& status);

    SeqpacketClient client_;
    std::unique_ptr<Transport> transport_;
    bool on_ring_ = false;
    std::atomic<bool> wrote_{false};
};

}  // namespace qorval::library
