#pragma once
// Takes the frames the driver holds for a ring handle before the client reads them, and hands
// them over in the ring's read-ahead area (host/protocol/frames_ahead.h), so that the client's
// reads complete without a request and the driver's receive buffers are free again while the
// client is off the processor. docs/request-transport.md ("Reading ahead") gives the rules this
// keeps; in short:
//
//   - Only a synchronous handle reads ahead: its reads never wait, so a take is the client's
//     own next read made early.
//   - A frame is taken with the length of the client's latest read, so it is taken only when
//     that read would have taken it; a frame that needs more room stays in the driver for the
//     client's own read. A held frame is then answered to any read that holds its bytes.
//   - The receive buffers a take gave back are the drop of the driver's count across it when
//     nothing else ran meanwhile (the counts publisher says so); otherwise one, or two for a
//     frame delivered empty as an overrun whose drop showed two.
//   - Whatever empties the driver's receive buffers drops the held frames with them (a reset of
//     the receive buffers, a new port state, a start). While a Plug and Play or power request
//     is under way, and while the driver holds reads back (the device stopping, stopped or
//     asleep), the area is suspended: the client sends its reads to the host, which sends a
//     read of no bytes the same way; once the driver lets that through, the read is answered
//     from the held frames (or by the driver when a start dropped them), and when the driver
//     fails it (the device is gone) the read fails the same way.
//
// Threads: every use of the writer and every take happens under the lock (Hold): the connection's
// thread holds it for a round of the client's requests, and the counts publisher takes it
// (try_lock, never waiting) where it refreshes the counts, on whichever thread settled the
// device. Suspension and the drop requests are atomics, set from any thread.

#include <atomic>
#include <cstdint>
#include <functional>
#include <mutex>
#include <optional>
#include <span>

#include "host/protocol/frames_ahead.h"
#include "host/protocol/request_ring.h"
#include "kernel/io_manager.h"

namespace qorval::host {

// Whether a device control with this input empties the driver's receive buffers when it
// succeeds (a reset of the receive buffers, a new port state).
bool EmptiesReceiveBuffers(uint32_t control_code, std::span<const uint8_t> input);

class ReadAhead {
  public:
    // Holds the lock for the scope. A thread that already holds it (a take that settled the device
    // on its own thread comes back to refresh) does not get it again and is told so, rather than
    // wait for itself.
    class Hold {
      public:
        enum class Wait { Yes, No };
        Hold(ReadAhead& ahead, Wait wait);
        ~Hold();
        Hold(const Hold&) = delete;
        Hold& operator=(const Hold&) = delete;
        bool held() const { return lock_.owns_lock(); }

      private:
        std::unique_lock<std::mutex> lock_;
    };

    ReadAhead(kernel::IoManager& kernel, kernel::IoManager::Handle handle,
              protocol::ring::RingView ring);

    // The host's side of the area; under a Hold.
    protocol::ring::FramesAheadWriter& writer() { return writer_; }
    protocol::ring::AheadView area() const { return protocol::ring::AheadView(ring_); }

    // Under a Hold, before the writer is used: drops the held frames when something emptied
    // the driver's receive buffers since.
    void ApplyDrops();
    // Under a Hold: ApplyDrops, then lifts the suspension when the driver lets a read through
    // at once again. False while the area stays suspended.
    bool Prepare();
    bool Suspended() const { return suspended_.load(std::memory_order_seq_cst); }
    bool HeldByThisThread() const;
    // Whether a refresh that finds `waiting` receive buffers filled takes frames.
    // - A handle that only reads (a capture) has every frame taken as it comes: its reads then
    //   never wait in the driver while holding the area, so no such read can keep the thread
    //   that serves the card from taking frames while the receive ring fills.
    // - Once its client has written, from kTakeFrom buffers: a client that both sends and
    //   receives and keeps up reads its frames from the driver itself, and taking them as well
    //   would cost the host the work twice (both ways would halve).
    bool TakesAt(uint32_t waiting) const;
    static constexpr uint32_t kTakeFrom = 4;
    // The client wrote on the handle: from now on frames are taken from kTakeFrom.
    void NoteWrite() {
        if (!writes_.load(std::memory_order_relaxed)) {  // a load leaves the line shared
            writes_.store(true, std::memory_order_relaxed);
        }
    }

    // Under a Hold: takes frames while the driver's buffer count (`counts`, its answer) shows
    // receive buffers filled, the area has room and `still_settled` holds (asked after every
    // take); with none filled after a service routine, makes the one read a polling client
    // would. Returns the driver's latest answer (asked after the last take), or nullopt when it
    // gave none.
    std::optional<uint32_t> TakeWaiting(std::optional<uint32_t> counts,
                                        const std::function<bool()>& still_settled);

    // The connection's thread: a client read of `length` bytes went to the host.
    void NoteReadLength(uint32_t length);
    // Any thread: a service routine ran; the next refresh makes the read a polling client would
    // when nothing is waiting.
    void PollAfterInterrupt() { poll_wanted_.store(true, std::memory_order_release); }
    // Any thread: the driver's receive buffers were emptied (applied at the next Prepare).
    void DropHeld() { drop_wanted_.store(true, std::memory_order_release); }
    // Takes nothing more and waits for a take under way: before the handle closes and the
    // ring goes (a refresh on another thread may still be taking).
    void Close();
    // Any thread: a Plug and Play or power request begins (`starts`: a start, after which the
    // driver's rings are new).
    void RequestBegins(bool starts);

  private:
    void SetSuspended(bool suspended);

    kernel::IoManager& kernel_;
    const kernel::IoManager::Handle handle_;
    const protocol::ring::RingView ring_;

    std::mutex lock_;
    std::atomic<bool> writes_{false};  // the client wrote on the handle
    protocol::ring::FramesAheadWriter writer_;  // guarded by lock_
    bool broken_ = false;  // guarded by lock_: a take did not complete, or a head was garbage
    bool closed_ = false;  // guarded by lock_

    std::atomic<uint32_t> read_length_{0};
    std::atomic<bool> drop_wanted_{false};
    std::atomic<bool> poll_wanted_{false};
    std::atomic<bool> suspended_{false};
};

}  // namespace qorval::host
