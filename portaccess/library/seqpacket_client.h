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
    enum class ConnectResult { Connected, NoSuchSocket, Refused, Failed };

    SeqpacketClient() = default;
    ~SeqpacketClient();
    SeqpacketClient(const SeqpacketClient&) = delete;
    SeqpacketClient& operator=(const SeqpacketClient&) = delete;

    [[nodiscard]] ConnectResult Connect(const std::filesystem::path& socket_path);
    [[nodiscard]] bool Send(std::span<const uint8_t> message);
    // Receives one message within the timeout; false on timeout, error or a closed peer.
    [[nodiscard]] bool Receive(std::vector<uint8_t>& message, size_t max_size, int timeout_ms);
    void Close();

  private:
    int fd_ = -1;
};

}  // namespace qorval::library
