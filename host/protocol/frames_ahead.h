#pragma once
// The read-ahead area of a request ring: received frames the host has already taken out of the
// driver for the handle, handed to the client through shared memory so that its next reads
// complete without a request. The design, what it keeps of the driver's read and what is still
// to be wired are in docs/request-transport.md ("Reading ahead").
//
// The area is a ring of frame records and a ring of frame bytes:
//   - the host alone writes records, bytes, `tail` (frames published so far) and `floor`
//     (frames below it were dropped: the receive buffers were reset, the port stopped);
//   - the client alone writes `head` (frames it has taken so far).
// The host publishes a frame by writing its bytes and record, then `tail` (release); it reuses
// a record or bytes only once `head` (acquire) has passed the frame. The client takes the frame
// at `head` by reading its record and bytes after `tail` (acquire), then moves `head` on
// (release). Every word is an aligned 32-bit word, read and written atomically; each side
// reads every word of the other once, into its own memory, and checks it before use.

#include <cstddef>
#include <atomic>
#include <cstdint>
#include <optional>
#include <deque>
#include <span>
#include <vector>

#include "host/protocol/counts_block.h"
#include "host/protocol/request_ring.h"

namespace qorval::protocol::ring {

inline constexpr uint32_t kAheadAlignment = 64;  // a frame's bytes start on a line

// One held frame as the driver's read gave it.
struct alignas(32) AheadRecord {
    uint32_t status;     // the read's status (success, overrun, CRC error)
    uint32_t delivered;  // its information: bytes delivered
    uint32_t room;       // the buffer length the driver needed to take it (with CRC bytes)
    uint32_t buffers;    // receive buffers its take gave back (1, or 2 for a spilled frame)
    uint32_t offset;     // where its bytes start in the byte ring
    uint32_t arrival_low;
    uint32_t arrival_high;
    uint32_t buffers_before;  // buffers given back by every frame published before it (wraps)
};

struct AheadHeader {
    alignas(64) uint32_t tail;  // host: frames published so far (wraps)
    uint32_t floor;             // host: frames numbered below it are dropped
    // host: not 0 while the driver may not answer reads as it did when the frames were taken
    // (a Plug and Play or power request is under way, or the device is stopped): the client
    // then takes nothing from the area and sends its reads to the host.
    uint32_t suspended;
    // host: 1 when the host reads ahead for this handle (a synchronous handle): with the area
    // empty and valid counts of no frame waiting, a read finds nothing, and the client answers
    // it so without a request.
    uint32_t reading_ahead;
    // host: the read length it takes frames with (the client's latest read that reached it;
    // 0: none yet).
    uint32_t read_length;
    alignas(64) uint32_t head;  // client: frames taken so far (wraps)
    alignas(64) AheadRecord records[kAheadFrames];
};
static_assert(sizeof(AheadHeader) <= kAheadHeaderSize);

// A mapped area, seen as its parts. The pointer is not owned.
class AheadView {
  public:
    explicit AheadView(uint8_t* base) : base_(base) {}
    explicit AheadView(const RingView& ring) : base_(ring.ahead()) {}
    AheadHeader& header() const { return *reinterpret_cast<AheadHeader*>(base_); }
    AheadRecord& record(uint32_t number) const {
        return header().records[number % kAheadFrames];
    }
    uint8_t* bytes() const { return base_ + kAheadHeaderSize; }

  private:
    uint8_t* base_;
};

// What a read of `read_length` bytes does with the frame first in line that needs `room`
// bytes, as the driver's read decides it: a read of no bytes is answered at once and touches
// no frame; a buffer too small for the frame and its CRC bytes leaves it first in line and is
// answered STATUS_INFO_LENGTH_MISMATCH with information 0.
enum class HeldFrameRead { Nothing, TooSmall, Takes };
HeldFrameRead ReadOfHeldFrame(uint32_t room, uint32_t read_length);

// A frame the host took out of the driver, in its own memory.
struct HeldFrame {
    uint32_t status = 0;
    uint32_t room = 0;
    uint32_t buffers = 1;
    uint64_t arrival_ns = 0;
    std::vector<uint8_t> bytes;  // at most kMaxPayload
};

// The host's side. Called from one thread only (the connection's).
class FramesAheadWriter {
  public:
    // Forgets the frames the client has taken: reads `head` once and checks that it lies
    // between the oldest frame still kept and `tail`. False when it does not (the client wrote
    // garbage there); the connection then ends.
    [[nodiscard]] bool Collect(const AheadView& area);
    // Whether a frame of `length` bytes fits now (a record and its bytes are free).
    bool HasRoomFor(size_t length) const;
    // Writes the frame into the area and publishes it. Only after HasRoomFor said so.
    void Publish(const AheadView& area, HeldFrame frame);
    // Drops every frame published so far: the client takes none of them any more.
    void DropAll(const AheadView& area);
    // Frames published and neither taken (as last collected) nor dropped, and the receive
    // buffers their takes gave back.
    uint32_t Held() const { return tail_ - Oldest(); }
    uint32_t HeldBuffers() const;
    // Where the area stands, for the counts block: the tail, the first frame held, and the
    // buffers given back by every frame published so far.
    AheadMark Mark() const { return {tail_, Oldest(), cumulative_}; }
    // Says whether the client may take frames from the area (AheadHeader::suspended). Touches
    // only that word, so it may be called on any thread.
    static void Suspend(const AheadView& area, bool suspended);
    // Says that the host reads ahead for this handle (AheadHeader::reading_ahead).
    static void ReadsAhead(const AheadView& area);
    // Says the read length the host takes frames with (AheadHeader::read_length).
    static void TakesWith(const AheadView& area, uint32_t length);
    // The first frame held (neither taken as last collected nor dropped) from `number` on,
    // and its number in `found`; null when none is, or `number` is not one the client can
    // name (below the frames it has taken, or beyond those published).
    const HeldFrame* FirstFrom(uint32_t number, uint32_t& found) const;

  private:
    struct Kept {
        uint32_t offset;
        uint32_t size;  // bytes reserved, a multiple of kAheadAlignment, at least one
        HeldFrame frame;  // the host's own copy: it never reads the shared one back
    };
    uint32_t Oldest() const;  // the first frame the client may still take
    // Where a frame of `size` reserved bytes would go; false when it does not fit.
    bool Place(uint32_t size, uint32_t& offset) const;

    uint32_t tail_ = 0;
    uint32_t head_ = 0;   // as last collected
    uint32_t floor_ = 0;  // frames below it are dropped
    uint32_t cumulative_ = 0;  // buffers given back by the frames published so far (wraps)
    std::deque<Kept> kept_;  // frames head_ .. tail_ - 1, whose space the client may still read
};

// The client's side: answers a read from the area. Reads of one handle are serialised by the
// caller.
class FramesAheadReader {
  public:
    enum class Outcome { Empty, Answered, Garbled };
    struct Answer {
        uint32_t status = 0;
        uint32_t information = 0;
        uint64_t arrival_ns = 0;
    };
    // Empty: no frame is held, the read goes to the host. Answered: `out` is the driver's answer
    // to a read of `buffer.size()` bytes, and a frame it took is in `buffer`. Garbled: the
    // host's words are out of range (the handle is no longer trusted).
    Outcome Read(const AheadView& area, std::span<uint8_t> buffer, Answer& out);
    // The first frame not taken yet, as the client counts: a read that goes to the host names
    // it; when the host answered from the area and took a frame, the client goes on from the
    // number the host gave (MoveTo). False when that number is not ahead of the head within
    // the area (a garbled answer).
    uint32_t head() const { return head_.load(std::memory_order_relaxed); }
    // Whether an empty area means no frame is held for a read of `length` bytes: the host reads
    // ahead with that length and has not suspended the area.
    static bool Serves(const AheadView& area, size_t length);
    [[nodiscard]] bool MoveTo(const AheadView& area, uint32_t next);
    // The receive buffers given back by the frames held and not yet taken, as the counts block
    // saw the area at `mark`; nullopt when the mark is not one this client can reconcile with
    // its own head (a stale or garbled block: the caller asks the host). May be called without
    // the reads' lock, by a thread that then checks that the block did not change meanwhile.
    std::optional<uint32_t> HeldBuffers(const AheadView& area, const AheadMark& mark) const;

  private:
    // Written under the reads' lock, read by buffer counts without it.
    std::atomic<uint32_t> head_{0};
};

}  // namespace qorval::protocol::ring
