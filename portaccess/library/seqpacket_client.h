#pragma once
// A client end of a SOCK_SEQPACKET Unix socket with bounded waits, so that no library call
// hangs when the driver host stops answering.

#include <cstdint>
#include <filesystem>
#include <span>
#include <vector>

namespace qorval::library {

class SeqpacketClient {
  public:
    // NoListener: a socket file nobody listens on (left by a host that died).
    // Busy: a host that listens but does not accept (stopped, or its queue is full).
    enum class ConnectResult { Connected, NoSuchSocket, NoListener, Busy, Failed };

    SeqpacketClient() = default;
    ~SeqpacketClient();
    SeqpacketClient(const SeqpacketClient&) = delete;
    SeqpacketClient& operator=(const SeqpacketClient&) = delete;

    // Never waits: a Unix socket connect either completes or fails at once when it does not
    // block.
    [[nodiscard]] ConnectResult Connect(const std::filesystem::path& socket_path);
    [[nodiscard]] bool Send(std::span<const uint8_t> message);
    // Receives one message into `buffer` within the timeout; false on timeout, error, a closed
    // peer or a message longer than the buffer.
    [[nodiscard]] bool Receive(std::span<uint8_t> buffer, size_t& size, int timeout_ms);
    // Receives one message with the descriptors that came with it (at most `max_descriptors`).
    [[nodiscard]] bool ReceiveWithDescriptors(std::span<uint8_t> buffer, size_t& size,
                                              std::vector<int>& descriptors,
                                              size_t max_descriptors, int timeout_ms);
    void Close();
    int fd() const { return fd_; }

  private:
    int fd_ = -1;
};

}  // namespace qorval::library
