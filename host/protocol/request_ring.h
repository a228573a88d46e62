#pragma once
// The shared-memory request ring of one open handle: how requests travel between the port
// access library and the driver host once the create request asked for it. The design, its
// invariants and why the host is safe against a client that scribbles on the memory are in
// docs/request-transport.md.
//
// The host makes one memory file per connection (sealed against shrinking and growing, so a
// mapping can never fault), maps it and hands it over the device socket with the wake
// descriptors. The region holds:
//   - a header page: the submission ring (client writes slot numbers and the tail), the
//     host's "asleep" flag, one header per request slot, the port's counts block (host) and
//     the count of client threads sleeping on it (client);
//   - kSlots data areas of kSlotDataSize bytes: a request's input bytes, then its output;
//   - the read-ahead area (frames_ahead.h): frames the host took out of the driver for the
//     client's next reads.
//
// One request, in slot s:
//   client: fills slot s's request fields and input, state = kSubmitted, puts s at
//           submissions[tail % kSlots], tail + 1; writes the host's wake descriptor only when
//           host_asleep is set.
//   host:   takes the entry, copies every field once into its own memory and checks it
//           (SubmissionReader), dispatches the request to the driver; at its completion writes
//           the output and the reply fields, state = kCompleted, and writes slot s's wake
//           descriptor only when the client said it sleeps on it (waiting).
// The counts block (counts_block.h) carries the driver's buffer counts, published by the host
// whenever they may have changed, so that the client answers a buffer count without a
// request and sleeps on the block while its port is quiet. All zeros (as a host that
// publishes nothing leaves it) means "ask the host".
// Every field is a naturally aligned 32-bit word read and written with atomic operations, so
// neither side ever sees a torn word; bytes of the data areas are copied as they are.

#include <atomic>
#include <cstddef>
#include <cstdint>
#include <span>
#include <vector>

#include "host/protocol/device_protocol.h"

namespace qorval::protocol::ring {

inline constexpr uint32_t kSlots = 4;  // requests in flight per handle
inline constexpr uint32_t kSlotDataSize = kMaxPayload;
inline constexpr size_t kHeaderSize = 4096;
// The read-ahead area's geometry (its layout is in frames_ahead.h).
inline constexpr uint32_t kAheadFrames = 1024;           // records: frames held at most
inline constexpr uint32_t kAheadDataSize = 1024 * 1024;  // bytes of held frames at most
inline constexpr size_t kAheadHeaderSize = 36 * 1024;
inline constexpr size_t kAheadAreaSize = kAheadHeaderSize + kAheadDataSize;
inline constexpr size_t kAheadOffset = kHeaderSize + size_t{kSlots} * kSlotDataSize;
inline constexpr size_t kRegionSize = kAheadOffset + kAheadAreaSize;
inline constexpr uint32_t kVersion = 2;

// Slot states, written by the side that moves the request on.
inline constexpr uint32_t kFree = 0;
inline constexpr uint32_t kSubmitted = 1;
inline constexpr uint32_t kCompleted = 2;

struct alignas(64) SlotHeader {
    // The client's side of the slot.
    uint32_t state;
    uint32_t waiting;  // 1 while a client thread sleeps on the slot's wake descriptor
    uint32_t sequence;
    uint32_t function;
    uint32_t control_code;
    uint32_t output_length;
    uint32_t input_length;
    uint32_t unused;
    // The host's answer.
    uint32_t reply_sequence;
    uint32_t status;
    uint32_t information;
    uint32_t reply_length;  // output bytes at the start of the slot's data area
    // A read's frame: nanoseconds since 1970 at which it arrived at the port (its closing
    // flag), low and high word; 0 when the host has no such time (kernel/frame_arrival.h).
    uint32_t arrival_low;
    uint32_t arrival_high;
    // A read the host answered from the read-ahead area (frames_ahead.h) and that took a
    // frame there: 1, and the number of the frame after it; else 0 and 0.
    uint32_t ahead_taken;
    uint32_t ahead_next;
};

// The host's counts block: a sequence lock over the driver's buffer counts.
struct alignas(64) CountsBlock {
    uint32_t sequence;  // odd while the host rewrites the block; the word clients sleep on
    uint32_t valid;     // kCountsValid when `counts` is the driver's answer now, else 0
    uint32_t counts;    // the driver's answer's four bytes, as a little-endian word
    // The read-ahead area at the same moment (frames_ahead.h): frames published so far, the
    // first of them the host counted as held, and the receive buffers given back by every
    // frame published so far (a running sum, wrapping).
    uint32_t ahead_tail;
    uint32_t ahead_from;
    uint32_t ahead_buffers;
};
inline constexpr uint32_t kCountsValid = 1;

struct RingHeader {
    alignas(64) uint32_t submit_tail;  // client: entries put on the ring so far (wraps)
    alignas(64) uint32_t host_asleep;  // host: 1 while it sleeps on its wake descriptor
    alignas(64) uint32_t submissions[kSlots];
    SlotHeader slots[kSlots];
    CountsBlock counts;
    alignas(64) uint32_t counts_sleepers;  // client: threads sleeping on counts.sequence
};
static_assert(sizeof(RingHeader) <= kHeaderSize);
static_assert(sizeof(SlotHeader) == 64);
// The byte offsets docs/request-transport.md gives.
static_assert(offsetof(RingHeader, host_asleep) == 64);
static_assert(offsetof(RingHeader, submissions) == 128);
static_assert(offsetof(RingHeader, slots) == 192);
static_assert(offsetof(RingHeader, counts) == 448);
static_assert(offsetof(RingHeader, counts_sleepers) == 512);

// What the create reply carries as its output when the host made a ring: the geometry both
// sides must agree on. The client checks it against its own constants; the host never reads
// it back.
struct Description {
    uint32_t version = kVersion;
    uint32_t slots = kSlots;
    uint32_t slot_data_size = kSlotDataSize;
    uint32_t region_size = static_cast<uint32_t>(kRegionSize);
};
inline constexpr size_t kDescriptionSize = 16;
std::vector<uint8_t> EncodeDescription(const Description& description);
// True when the bytes describe exactly the ring this build speaks.
[[nodiscard]] bool DescribesThisRing(std::span<const uint8_t> bytes);

// Descriptors handed over with the create reply, in this order: the memory file, the client's
// end of the host's wake channel, and the client's end of each slot's wake channel. A wake
// channel is a Unix stream socket pair; each side sends on it only with MSG_DONTWAIT and
// MSG_NOSIGNAL, so a peer that stops reading or closes its end can neither block nor kill
// the sender.
inline constexpr size_t kMemoryDescriptor = 0;
inline constexpr size_t kHostWakeDescriptor = 1;
inline constexpr size_t kFirstSlotWakeDescriptor = 2;
inline constexpr size_t kDescriptorCount = kFirstSlotWakeDescriptor + kSlots;

// A mapped region, seen as its parts. The pointer is not owned.
class RingView {
  public:
    explicit RingView(uint8_t* base) : base_(base) {}

    RingHeader& header() const { return *reinterpret_cast<RingHeader*>(base_); }
    SlotHeader& slot(uint32_t index) const { return header().slots[index]; }
    uint8_t* data(uint32_t index) const {
        return base_ + kHeaderSize + size_t{index} * kSlotDataSize;
    }
    uint8_t* ahead() const { return base_ + kAheadOffset; }

  private:
    uint8_t* base_;
};

// Every access to a shared word goes through these, so that it is one atomic load or store.
inline uint32_t Load(uint32_t& word, std::memory_order order = std::memory_order_relaxed) {
    return std::atomic_ref<uint32_t>(word).load(order);
}
inline void Store(uint32_t& word, uint32_t value,
                  std::memory_order order = std::memory_order_relaxed) {
    std::atomic_ref<uint32_t>(word).store(value, order);
}

}  // namespace qorval::protocol::ring
