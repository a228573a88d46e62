#pragma once
// The messages a client and the driver host exchange on a device socket.
//
// One SOCK_SEQPACKET connection is one open handle, so the kernel keeps message boundaries.
// The client's first message is a create request; the host answers it with the create status
// and closes the connection when the open failed. Every later message is one read, write or
// device control request, answered by exactly one reply carrying the kernel status, the
// information count and the output bytes. A dropped connection is cleanup + close.
//
// Both directions are untrusted input: Decode* checks every length and code before use and
// reports what was wrong.
//
// A create request may ask for the shared-memory request ring (kCreateRing): the create reply
// then carries a ring description as its output and the ring's descriptors (SCM_RIGHTS), and
// every later request travels on the ring instead (host/protocol/request_ring.h); the socket
// stays open for the connection's life, so its end is still cleanup + close.

#include <cstdint>
#include <span>
#include <string>
#include <vector>

namespace qorval::protocol {

// Major function codes of the requests, with the kernel's values.
enum class Function : uint8_t { Create = 0x00, Read = 0x03, Write = 0x04, DeviceControl = 0x0E };

// Create flags: the handle asked for synchronous non-alertable I/O, so reads never wait;
// the client asks for the shared-memory request ring.
inline constexpr uint32_t kCreateSynchronous = 0x1;
inline constexpr uint32_t kCreateRing = 0x2;

// The largest input or output a message may carry: a frame of up to 65535 bytes, with room.
inline constexpr uint32_t kMaxPayload = 65536;

inline constexpr size_t kRequestHeaderSize = 24;
inline constexpr size_t kReplyHeaderSize = 20;
inline constexpr size_t kMaxMessageSize = kRequestHeaderSize + kMaxPayload;

struct Request {
    uint32_t sequence = 0;
    Function function = Function::Create;
    uint32_t control_code = 0;   // device control: the I/O control code; create: the create flags
    uint32_t output_length = 0;  // read: the buffer length; device control: the output length
    std::vector<uint8_t> input;  // write: the frame; device control: the input bytes
};

struct Reply {
    uint32_t sequence = 0;
    uint32_t status = 0;  // NTSTATUS
    uint32_t information = 0;
    std::vector<uint8_t> output;
};

// Whether a request's function and lengths fit together (a read takes no input, a write
// gives no output, a create neither); nullptr when they do, else what is wrong. Both the
// message decoder and the ring reader apply it.
[[nodiscard]] const char* RequestShapeProblem(uint8_t function, uint32_t output_length,
                                              uint32_t input_length);

std::vector<uint8_t> EncodeRequest(const Request& request);
std::vector<uint8_t> EncodeReply(const Reply& reply);
std::vector<uint8_t> EncodeReply(uint32_t sequence, uint32_t status, uint32_t information,
                                 std::span<const uint8_t> output);

// Return an empty string on success, else what was wrong with the message.
[[nodiscard]] std::string DecodeRequest(std::span<const uint8_t> message, Request& out);
[[nodiscard]] std::string DecodeReply(std::span<const uint8_t> message, Reply& out);

}  // namespace qorval::protocol
