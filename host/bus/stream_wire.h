#pragma once
// A port's line wired to a byte stream: a listening Unix or TCP socket where one peer at a time
// connects. Every frame the port sends reaches the peer as its bytes; the peer's bytes reach
// the port as frames, cut at the port's largest receive frame or after a short quiet gap.
//
// Who may be the peer. On a Unix socket, a process of the host's own user (its credentials are
// checked at once). On TCP, whoever first sends the shared secret (stream_token.h) and a line
// feed within a few seconds: until then a connection is a candidate, none of its bytes reach
// the port, and it never displaces the peer; a few candidates may wait at once (the oldest
// gives way to a new one), so that connections that never send the secret cannot keep the
// real peer out.
//
// Threads. The card clock hands frames from the port to FromLine() while it holds the card's
// lock, so FromLine() only queues (bounded; when the peer is slower than the line the frames
// wait, then are dropped and counted). A writer thread empties the queue into the socket. An
// I/O thread accepts peers, reads their bytes, cuts them into frames and hands each to the
// line, paced at the port's bit rate when the host runs lines at their clock rate. The peer's
// input is bounded: reading stops while two cut frames wait for the line.

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <deque>
#include <functional>
#include <memory>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "host/bus/stream_address.h"
#include "host/bus/stream_framer.h"
#include "host/server/accept_backoff.h"
#include "sim/line.h"

namespace qorval::host {

class StreamWire {
  public:
    struct Settings {
        size_t largest_frame = 1024;       // the port's RxBuffSize
        std::chrono::milliseconds gap{2};  // silence that ends a short frame
        size_t queue_frames = 64;          // frames waiting for a slow peer
        std::string token;                 // TCP: the secret a peer sends first
        std::chrono::milliseconds token_wait{5000};  // how long a candidate has to send it
    };
    struct Statistics {
        uint64_t frames_to_peer = 0;             // written to the peer whole
        uint64_t frames_dropped_no_peer = 0;     // sent by the port while nobody listened
        uint64_t frames_dropped_queue_full = 0;  // the peer was slower than the line
        uint64_t frames_from_peer = 0;           // cut from the peer's bytes, handed to the line
        uint64_t frames_lost_no_line = 0;        // cut while the port had no line (rewiring)
        uint64_t peers_accepted = 0;
        uint64_t peers_refused = 0;   // a second peer while one was connected
        uint64_t peers_rejected = 0;  // another user (Unix), or no secret in time (TCP)
        bool peer_connected = false;
        std::string peer;  // who is connected: "uid 1000 pid 42" or "127.0.0.1:40000"
    };
    // The port's bit rate for pacing (0: no clock, frames are not paced); called on the I/O
    // thread, never while a lock of this object is held.
    using BitRate = std::function<double()>;

    // Listens on `address` (a TCP port 0 is replaced by the one bound). `wake` runs after each
    // frame handed to the line, so the card clock steps it in. Null with `error` set.
    static std::unique_ptr<StreamWire> Create(StreamAddress address, Settings settings,
                                              BitRate bit_rate, std::function<void()> wake,
                                              std::string* error);
    ~StreamWire();
    StreamWire(const StreamWire&) = delete;
    StreamWire& operator=(const StreamWire&) = delete;

    // A frame the port sent. Never blocks.
    void FromLine(std::vector<uint8_t> frame);
    // The line frames from the peer go to (null while the port's lines are rebuilt).
    void AttachLine(sim::Line* line);
    // True: frames from the peer take the time the port's bit rate gives them.
    void SetPaced(bool paced) { paced_ = paced; }

    const StreamAddress& address() const { return address_; }
    Statistics Stats() const;
    bool PeerConnected() const;

  private:
    struct Peer;
    struct Candidate {
        int fd = -1;
        std::string who;
        std::string line;  // what it sent so far
        std::chrono::steady_clock::time_point deadline;
    };
    struct Pending {
        std::vector<uint8_t> frame;
        std::chrono::steady_clock::time_point due;  // its closing flag has passed the line
    };
    StreamWire(StreamAddress address, Settings settings, BitRate bit_rate,
               std::function<void()> wake, StreamListener listener, int wake_fd);
    void RunIo();
    void RunWriter();
    void Accept();
    // Makes `fd` the peer, or closes it when one is connected already.
    void Admit(int fd, std::string who);
    // Reads what a candidate sent; false when it is done with (admitted or closed).
    bool ReadCandidate(Candidate& candidate);
    void ExpireCandidates(std::chrono::steady_clock::time_point now);
    void ReadPeer(int fd, std::vector<std::vector<uint8_t>>* cut);
    void DropPeer();
    void Schedule(std::vector<std::vector<uint8_t>>* cut);
    void Deliver(std::vector<uint8_t> frame);

    const StreamAddress address_;
    const Settings settings_;
    const BitRate bit_rate_;
    const std::function<void()> wake_;
    StreamListener listener_;
    const int wake_fd_;  // eventfd: tells the I/O thread to stop
    std::atomic<bool> paced_{false};
    std::atomic<bool> stopping_{false};

    // I/O thread only.
    StreamFramer framer_;
    std::deque<Pending> pending_;
    std::chrono::steady_clock::time_point line_free_{};
    std::chrono::steady_clock::time_point last_byte_{};
    int io_peer_fd_ = -1;
    std::vector<Candidate> candidates_;
    AcceptBackoff backoff_;

    mutable std::mutex lock_;  // guards the peer and the queue for it
    std::condition_variable queue_ready_;
    std::shared_ptr<Peer> peer_;
    std::string peer_who_;
    std::deque<std::vector<uint8_t>> queue_;

    std::mutex line_lock_;  // guards line_; never held while calling out except into the line
    sim::Line* line_ = nullptr;

    struct Counters {
        std::atomic<uint64_t> to_peer{0}, dropped_no_peer{0}, dropped_full{0}, from_peer{0},
            lost_no_line{0}, accepted{0}, refused{0}, rejected{0};
    } counters_;

    std::thread io_;
    std::thread writer_;
};

}  // namespace qorval::host
