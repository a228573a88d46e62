#pragma once
// The counts block of a request ring (request_ring.h): the driver's buffer counts as the host
// last published them, which a client reads without a request, and the word a client sleeps
// on while its port is quiet.
//
// The host is the only writer (its calls are serialised by the caller). It rewrites the block
// as a sequence lock: the sequence is made odd, the fields are stored, the sequence is made
// even again. A client takes a look that saw the same even sequence before and after the
// fields. A client with nothing to do sleeps on the sequence word itself (a futex in the
// shared mapping) after counting itself in `counts_sleepers`; the host, after every change,
// wakes the sleepers when that word is not 0. Each side stores its half with a sequentially
// consistent operation before it reads the other's, so either the host sees the sleeper or the
// sleeper sees the new sequence.
//
// The host reads `counts_sleepers` once per change and uses it only to decide whether to make
// the wake system call: whatever a client writes there costs its own connection one call per
// change at most, or its own sleeper its wake.

#include <chrono>
#include <cstdint>
#include <optional>

#include "host/protocol/request_ring.h"

namespace qorval::protocol::ring {

// Where the read-ahead area stood when the counts were asked (CountsBlock's ahead_ fields).
struct AheadMark {
    uint32_t tail = 0;
    uint32_t from = 0;
    uint32_t buffers = 0;
    bool operator==(const AheadMark&) const = default;
};

// One consistent look at the block.
struct CountsLook {
    uint32_t sequence = 0;
    bool valid = false;
    uint32_t counts = 0;  // the driver's four answer bytes, little-endian
    AheadMark ahead;
};

// The host's side.
class CountsWriter {
  public:
    // Publishes the driver's answer as valid and wakes the sleepers, or withdraws it (nullopt)
    // and lets them sleep on. Writes nothing when the block already says so.
    // `ahead` is where the read-ahead area stood at the same moment.
    void Publish(const RingView& ring, std::optional<uint32_t> counts, AheadMark ahead = {});
    // Moves the sequence on without changing the counts: wakes every sleeper, which looks again.
    void Nudge(const RingView& ring);

  private:
    void Write(const RingView& ring, bool wake);

    uint32_t sequence_ = 0;
    bool valid_ = false;
    uint32_t counts_ = 0;
    AheadMark ahead_;
};

// The client's side: a consistent look, or false when the block stayed half written for longer
// than a host takes to write it (a host that died while writing; the caller then asks the
// host, which finds out).
[[nodiscard]] bool LookAtCounts(const RingView& ring, CountsLook& out);

// Sleeps until the block's sequence is no longer `seen`, at most `bound`. Returns at once when
// it has already moved on.
void WaitForCountsChange(const RingView& ring, uint32_t seen, std::chrono::nanoseconds bound);

}  // namespace qorval::protocol::ring
