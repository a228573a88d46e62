#pragma once
// One open handle of the library: a connection to a port's device socket on which requests
// and replies alternate. Calls from several threads on one handle (the tester's transmit and
// receive workers share one) take turns.

#include <cstdint>
#include <filesystem>
#include <memory>
#include <mutex>
#include <vector>

#include "host/protocol/device_protocol.h"
#include "portaccess/library/seqpacket_client.h"

namespace qorval::library {

struct Completion {
    bool delivered = false;  // false: the host did not answer (gone, timed out, garbled)
    uint32_t status = 0;
    uint32_t information = 0;
    std::vector<uint8_t> output;
};

class DeviceConnection {
  public:
    // Connects and sends the create request. On success `out` holds the open connection;
    // `result` is the library result code either way.
    static uint32_t Open(const std::filesystem::path& socket_path,
                         std::unique_ptr<DeviceConnection>& out);

    Completion Read(uint32_t length);
    Completion Write(const uint8_t* data, uint32_t length);
    Completion Control(uint32_t code, const void* input, uint32_t input_length,
                       uint32_t output_length);

  private:
    Completion Transact(protocol::Request& request);

    std::mutex mutex_;  // one request in flight per connection
    SeqpacketClient client_;
    uint32_t next_sequence_ = 1;
    bool broken_ = false;  // the host failed to answer once: the handle is dead
};

// How long a call waits for the host's answer before it gives up.
inline constexpr int kReplyTimeoutMs = 5000;

}  // namespace qorval::library
