#pragma once
// A listening SOCK_SEQPACKET Unix socket at a path, created with the mode asked for (0660 for
// the sockets the group that shares the ports may use, 0600 for the owner's alone), removed
// again when the listener goes away.

#include <sys/types.h>

#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <span>
#include <string>
#include <string_view>

namespace qorval::host {

class SeqpacketListener {
  public:
    SeqpacketListener() = default;
    ~SeqpacketListener();
    SeqpacketListener(const SeqpacketListener&) = delete;
    SeqpacketListener& operator=(const SeqpacketListener&) = delete;

    // Replaces a stale socket file left by a host that died; refuses a path that is something
    // else or that a running host still listens on.
    [[nodiscard]] bool Listen(const std::filesystem::path& path, std::string* error,
                              mode_t mode = 0660);
    void Close();
    int fd() const { return fd_; }
    // Accepts one connection, non-blocking; -1 when none is waiting or accept failed (with
    // `error`, when given, set to its errno).
    int Accept(int* error = nullptr);

  private:
    int fd_ = -1;
    std::filesystem::path path_;
};

enum class Received {
    Message,    // `size` bytes in the buffer
    Empty,      // a message of no bytes
    Oversized,  // longer than the buffer: its bytes are lost
    Nothing,    // nothing waiting (the socket is non-blocking)
    Closed,     // the peer closed its end, or the socket failed
};
// Receives one message without blocking.
Received ReceiveMessage(int fd, std::span<uint8_t> buffer, size_t& size);
// Receives one whole message of at most max_size bytes, waiting for it; false at end of
// stream, on error or when the message was longer (the rest of it is lost with the
// connection). The string is sized to the message.
bool ReceiveMessage(int fd, std::string& message, size_t max_size);
// Sends one message without blocking and without SIGPIPE; false when it did not go whole at
// once (the peer's queue is full or the peer is gone).
bool SendMessage(int fd, const void* data, size_t size);

// Whether a program listens on the Unix socket of `type` (SOCK_SEQPACKET, SOCK_STREAM) at
// `path`: a socket file nobody listens on is left over from a program that died. The probe
// never waits: a listener whose queue is full (stopped, say) still counts as listening, and so
// does a socket this process may not connect to.
bool SomebodyListens(const std::filesystem::path& path, int type);

// Removes the sockets in `dir` whose names start with `prefix` and on which nobody listens:
// those a driver host left when it died. Sockets a running host listens on stay.
void RemoveStaleSockets(const std::filesystem::path& dir, std::string_view prefix);

}  // namespace qorval::host
