#pragma once
// Sending and receiving descriptors with a message on a Unix socket (SCM_RIGHTS), and the
// one-byte wakes of the request ring's wake channels.

#include <sys/types.h>

#include <cstdint>
#include <span>
#include <vector>

namespace qorval::protocol {

// Sends one message with the descriptors attached; never blocks and never raises SIGPIPE.
// False when the message did not go whole.
[[nodiscard]] bool SendWithDescriptors(int socket, std::span<const uint8_t> message,
                                       std::span<const int> descriptors);
// Receives one message into `buffer` and the descriptors that came with it (close-on-exec).
// Returns the message's full length (larger than the buffer when it was cut), 0 at the end of
// the stream, -1 on error or timeout. Descriptors beyond `max_descriptors` are closed at once.
ssize_t ReceiveWithDescriptors(int socket, std::span<uint8_t> buffer, std::vector<int>& descriptors,
                               size_t max_descriptors, int timeout_ms);
void CloseAll(std::vector<int>& descriptors);

// A wake: one byte on a wake channel, dropped when the channel is full (the peer has wakes
// enough waiting) or gone.
void Wake(int channel);
// Reads away the wakes waiting on a channel without blocking.
void DrainWakes(int channel);

}  // namespace qorval::protocol
