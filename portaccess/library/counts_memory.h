#pragma once
// The client's side of a request ring's counts block (host/protocol/counts_block.h): answers
// the driver's buffer-count request from the block without a request, and lets a caller that
// polls a quiet port sleep instead of spinning.
//
// A buffer count is answered from the block only while the block is valid; the answer is then
// the driver's own (docs/request-transport.md, "Counts from memory"). A block withdrawn for a
// moment (an interrupt being served) is looked at again for a few microseconds before the
// call goes to the host as a request. A host that has died leaves its last counts valid, so
// the device socket is looked at (one poll without waiting) at least every millisecond of
// answers; after it hung up, the call goes to the host and fails there as any request does.
//
// An empty poll is a buffer count without a frame waiting, or a read that found no frame. When
// a caller polls again within a couple of milliseconds and the block has not changed since
// its empty poll (no frame came, no transmit buffer was freed, nothing else happened on the
// handle), the call first rests: a brief spin, then a sleep on the block until the host
// publishes anything, at most kIdleBound. The result is the same; only its time changes, and
// only on a quiet port.
//
// With frames read ahead (frames_ahead.h) the block carries where the area stood when the
// driver was asked; the frames-waiting count answered is the driver's plus the receive buffers
// of the frames held that this client has not taken yet (the count the driver would give had
// the host not read ahead), taken while the block stays the same.

#include <atomic>
#include <chrono>
#include <cstdint>
#include <optional>
#include <span>

#include "host/protocol/counts_block.h"
#include "host/protocol/frames_ahead.h"
#include "portaccess/library/transport.h"

namespace qorval::library {

// The longest rest of one call on a quiet port.
inline constexpr auto kIdleBound = std::chrono::milliseconds(20);

class CountsMemory {
  public:
    // `ahead`: the handle's reader of the read-ahead area, whose head says what it has taken.
    CountsMemory(protocol::ring::RingView ring, int socket,
                 const protocol::ring::FramesAheadReader& ahead);

    // The driver's answer to a buffer-count request with this output buffer, from the block;
    // nullopt when the host must be asked.
    std::optional<Completion> BufferCount(std::span<uint8_t> output);
    // Before a read: rests when the handle's previous poll found nothing and nothing changed.
    void RestBeforeRead();
    // Whether the counts show no frame waiting, held frames included, at one look (nothing
    // when the block is withdrawn or the host has hung up).
    bool ShowsNothingWaiting();
    // After a read: notes whether it found nothing.
    void NoteRead(const Completion& done);
    // Answers nothing more from memory (the transport broke).
    void Stop() { stopped_.store(true, std::memory_order_relaxed); }
    bool Stopped() const { return stopped_.load(std::memory_order_relaxed); }
    // False once the host has hung up, looked at (one poll without waiting) at most every
    // kSocketCheckEvery: answers from memory would otherwise outlive it.
    bool HostStillThere();

  private:
    // A valid look, waiting a few microseconds for a withdrawn block; `waiting` is the
    // frames-waiting count with the held frames' buffers added.
    bool LookValid(protocol::ring::CountsLook& look, uint32_t& waiting) const;
    // One look; false when the block is withdrawn or changed while the held frames were
    // counted.
    bool LookOnce(protocol::ring::CountsLook& look, uint32_t& waiting) const;
    bool PollsAgainUnchanged(uint32_t sequence) const;
    void NoteEmpty(uint32_t sequence);
    void Rest(uint32_t sequence) const;

    const protocol::ring::RingView ring_;
    const int socket_;
    const protocol::ring::FramesAheadReader& ahead_;
    std::atomic<bool> stopped_{false};
    // The handle's latest empty poll: the block's sequence then, and when (steady clock, ns);
    // a hint shared by the handle's threads.
    std::atomic<uint32_t> empty_sequence_{1};  // odd: none yet
    std::atomic<int64_t> empty_at_{0};
    std::atomic<int64_t> socket_checked_at_{0};
};

}  // namespace qorval::library
