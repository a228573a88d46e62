#pragma once
// One client connection of a device socket, served on its own thread, so that ports are
// served in parallel and a client that stalls can only stall itself.
//
// The first message must be a create request; the handle is opened with the options it asks
// for. When it also asks for the request ring and the host can make one, the create reply
// hands the ring over and every later request travels on it; otherwise each later message is
// one request, answered through a bounded outbox that never blocks. A malformed message or
// ring entry gets an error reply on the socket and the connection ends. However it ends (the
// client closed or died, it stopped reading, it misbehaved, the host stops), the handle's
// outstanding requests are cancelled, then it is cleaned up and closed, so the port can be
// opened again at once.

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <memory>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "host/protocol/device_protocol.h"
#include "host/protocol/frames_ahead.h"
#include "host/protocol/ring_region.h"
#include "host/protocol/submission_reader.h"
#include "host/server/counts_publisher.h"
#include "host/server/read_ahead.h"
#include "host/server/reply_outbox.h"
#include "kernel/io_manager.h"

namespace qorval::host {

class ClientConnection;

// What a connection needs from the server that accepted it.
class ConnectionDirectory {
  public:
    virtual ~ConnectionDirectory() = default;
    // Waits (bounded) until every connection of `link` whose client has already closed its end
    // has closed its handle.
    virtual void AwaitDepartedClients(const std::string& link, const ClientConnection* asking) = 0;
    // The connection's thread is about to end.
    virtual void ConnectionFinished() = 0;
};

class ClientConnection : public std::enable_shared_from_this<ClientConnection> {
  public:
    // Takes ownership of `socket` (a connected, non-blocking device socket connection).
    ClientConnection(kernel::IoManager& kernel, int socket, std::string link,
                     ConnectionDirectory& directory);
    ~ClientConnection();
    ClientConnection(const ClientConnection&) = delete;
    ClientConnection& operator=(const ClientConnection&) = delete;

    // Starts the connection's thread; false when the host has no descriptor for the
    // connection's event or no thread for it (the connection then only closes its socket).
    [[nodiscard]] bool Start();
    // Ends the connection from outside (the host stops); Join waits for its thread.
    void RequestStop();
    void Join();

    const std::string& link() const { return link_; }
    bool Finished() const { return finished_.load(); }
    // Whether the create request opened the handle (until then the connection is in the few
    // seconds it has to send it).
    bool Opened() const { return opened_.load(); }
    // Whether the client has closed its end, even before this connection's thread noticed.
    bool ClientHungUp() const;
    // Waits until the connection's handle is closed, at most `bound`.
    bool AwaitFinished(std::chrono::milliseconds bound);

  private:
    void Run();
    // Opens the handle from the create request; false when the connection must end.
    bool Create(bool& ring_asked);
    bool ReplyToCreate(uint32_t sequence, bool ring_asked);
    void ServeMessages();
    bool HandleMessage(std::span<const uint8_t> message);
    void ServeRing();
    bool DispatchSubmissions(bool& any);
    void Dispatch(const protocol::ring::RingRequest& request);
    // A client's read: from the frames held for it, else by the driver.
    void DispatchRead(const protocol::ring::RingRequest& request,
                      kernel::IoManager::Completion done);
    // A read while the read-ahead area is suspended: answered once the driver lets reads
    // through again.
    void AwaitReadsThenRead(const protocol::ring::RingRequest& request,
                            kernel::IoManager::Completion done);
    // A read that names a frame held in the read-ahead area is answered from it, as the
    // driver's read would have answered it; false when it names none (the driver answers).
    // Under a hold of the area.
    bool AnswerFromHeld(const protocol::ring::RingRequest& request);
    // Marks a request completed in its slot and wakes its client if it sleeps.
    void FinishOnRing(const protocol::ring::RingRequest& request);
    // The error reply to a malformed message or ring; the connection then ends.
    void RefuseMalformed(uint32_t sequence);
    // Waits for the socket (and, with `ring_wake`, the ring's wake channel) or the stop
    // signal; false when the connection must end.
    bool WaitForSocket(short events, int timeout_ms, short& revents, bool* ring_woken);
    void End();

    kernel::IoManager& kernel_;
    const int socket_;
    const int wake_;  // event descriptor: stop requested, or the outbox needs the thread
    const std::string link_;
    ConnectionDirectory& directory_;
    kernel::IoManager::Handle handle_ = 0;
    std::atomic<bool> stop_{false};
    std::atomic<bool> opened_{false};
    bool synchronous_ = false;  // the handle's reads never wait

    ReplyOutbox outbox_;
    std::unique_ptr<protocol::ring::RingRegion> ring_;
    protocol::ring::SubmissionReader reader_;
    std::shared_ptr<CountsPublisher> counts_;        // with the ring
    std::shared_ptr<ReadAhead> read_ahead_;          // with the ring, on a synchronous handle

    std::atomic<bool> finished_{false};
    std::mutex finished_lock_;
    std::condition_variable finished_signal_;
    std::thread thread_;
};

}  // namespace qorval::host
