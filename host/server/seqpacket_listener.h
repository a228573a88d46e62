#pragma once
// A listening SOCK_SEQPACKET Unix socket at a path, created with mode 0660 (owner and group:
// the driver host and the tools' users), removed again when the listener goes away.

#include <filesystem>
#include <string>

namespace qorval::host {

class SeqpacketListener {
  public:
    SeqpacketListener() = default;
    ~SeqpacketListener();
    SeqpacketListener(const SeqpacketListener&) = delete;
    SeqpacketListener& operator=(const SeqpacketListener&) = delete;

    // Replaces a stale socket file left by a host that died; refuses a path that is something
    // else or that a running host still listens on.
    [[nodiscard]] bool Listen(const std::filesystem::path& path, std::string* error);
    void Close();
    int fd() const { return fd_; }
    // Accepts one connection; -1 when none is waiting.
    int Accept();

  private:
    int fd_ = -1;
    std::filesystem::path path_;
};

// Receives one whole message of at most max_size bytes; false at end of stream, on error or
// when the message was longer (the rest of it is lost with the connection).
bool ReceiveMessage(int fd, std::string& message, size_t max_size);
bool SendMessage(int fd, const void* data, size_t size);

}  // namespace qorval::host
