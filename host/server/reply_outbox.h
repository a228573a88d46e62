#pragma once
// The replies of one connection that carries requests as messages, sent without ever
// blocking: completions run on the driver's threads (a DPC, a cancel, another connection's
// request), which must never wait for a client. A reply goes out at once when the socket
// takes it; otherwise it waits in a bounded queue that the connection's own thread sends as
// the socket drains. A client that lets more than kMaxQueuedReplies pile up has stopped
// reading: the outbox says so and the connection ends as for a client that died.

#include <cstdint>
#include <deque>
#include <mutex>
#include <vector>

namespace qorval::host {

class ReplyOutbox {
  public:
    static constexpr size_t kMaxQueuedReplies = 64;

    // `socket`: the connection (non-blocking sends only); `wake`: an event descriptor of the
    // connection's thread, written when the thread has something to do.
    ReplyOutbox(int socket, int wake) : socket_(socket), wake_(wake) {}

    // Any thread.
    void Post(std::vector<uint8_t> message);
    // The connection's thread: whether replies wait for room, sending what the socket takes
    // now, and whether the connection must end (the client stopped reading or the socket
    // failed).
    bool HasQueued() const;
    void Flush();
    bool Failed() const;
    // No reply goes out from here on.
    void Close();

  private:
    void WakeOwner();

    mutable std::mutex mutex_;
    const int socket_;
    const int wake_;
    std::deque<std::vector<uint8_t>> queue_;
    bool failed_ = false;
    bool closed_ = false;
};

}  // namespace qorval::host
