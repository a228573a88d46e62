#pragma once
// How a handle's requests reach the driver host once it is open: one request out, its
// completion back. Two transports: the shared-memory request ring (RingTransport), which the
// library asks for at every open, and messages on the device socket (MessageTransport), for a
// host that offers no ring.

#include <cstddef>
#include <cstdint>
#include <span>

#include "host/protocol/device_protocol.h"

namespace qorval::library {

struct Call {
    protocol::Function function = protocol::Function::Read;
    uint32_t control_code = 0;
    std::span<const uint8_t> input;  // write: the frame; device control: the input bytes
    std::span<uint8_t> output;       // its size is the request's output length
};

struct Completion {
    bool delivered = false;  // false: the host did not answer (gone, timed out, garbled)
    uint32_t status = 0;
    uint32_t information = 0;
    size_t output_size = 0;  // bytes written at the start of Call::output
    uint64_t arrival_ns = 0;  // a read's frame: when it arrived (ns since 1970); 0: not known
};

class Transport {
  public:
    virtual ~Transport() = default;
    // Carries one request and waits for its completion, at most kReplyTimeoutMs once the
    // request is out. After a lost or garbled answer the transport is dead: every later call
    // fails at once. Safe to call from several threads at once.
    virtual Completion Carry(const Call& call) = 0;
};

// How long a call waits for the host's answer before it gives up.
inline constexpr int kReplyTimeoutMs = 5000;

}  // namespace qorval::library
