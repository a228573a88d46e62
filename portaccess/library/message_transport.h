#pragma once
// Requests as messages on the device socket: one request, then its reply, one request at a
// time per handle (calls from several threads take turns).

#include <mutex>
#include <vector>

#include "portaccess/library/seqpacket_client.h"
#include "portaccess/library/transport.h"

namespace qorval::library {

class MessageTransport final : public Transport {
  public:
    // `client` is the connected socket of the handle, after the create; it outlives this.
    explicit MessageTransport(SeqpacketClient& client);
    Completion Carry(const Call& call) override;

  private:
    std::mutex mutex_;  // one request in flight
    SeqpacketClient& client_;
    std::vector<uint8_t> reply_buffer_;  // made once: room for the largest reply
    uint32_t next_sequence_ = 2;         // the create was 1
    bool broken_ = false;
};

}  // namespace qorval::library
