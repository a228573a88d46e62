#pragma once
// The host's reader of a request ring. The client may write anything into the shared memory
// at any time, so the reader trusts nothing it finds there: it reads each shared word once
// into its own memory, checks every index against the ring and every length against the
// slot, and keeps in its own memory which slots hold a request the driver has not completed.
// Whatever the client wrote, the reader either hands out a request whose fields are in range
// or reports the ring as malformed, and the connection ends.

#include <array>
#include <atomic>
#include <cstdint>
#include <optional>
#include <span>

#include "host/protocol/request_ring.h"

namespace qorval::protocol::ring {

// One request as the host took it: its own copy, checked.
struct RingRequest {
    uint32_t slot = 0;
    uint32_t sequence = 0;
    Function function = Function::Read;
    uint32_t control_code = 0;
    uint32_t output_length = 0;  // at most kSlotDataSize
    uint32_t input_length = 0;   // at most kSlotDataSize
};

class SubmissionReader {
  public:
    enum class Outcome { Empty, Taken, Malformed };

    // Takes the next entry of the submission ring. Taken: `out` holds the request and its slot
    // counts as in flight until Complete. Malformed: `problem` says what was wrong. Called
    // from one thread only (the connection's).
    Outcome Take(const RingView& ring, RingRequest& out, const char** problem);
    // Whether the client has put entries on the ring that are not taken yet.
    bool HasSubmissions(const RingView& ring) const;
    // Writes a request's answer into its slot (at most its output length of output bytes, and
    // the arrival time of a read's frame, 0 for none) without marking it completed yet: the
    // client looks at none of it before Finish. May run on any thread, once per taken request.
    // `ahead_next`: the read took frame `*ahead_next - 1` of the read-ahead area (the client
    // goes on from `*ahead_next`).
    void WriteReply(const RingView& ring, const RingRequest& request, uint32_t status,
                    uint32_t information, std::span<const uint8_t> output,
                    uint64_t arrival_ns = 0, std::optional<uint32_t> ahead_next = std::nullopt);
    // Marks the request completed. Returns whether the client said it sleeps on the slot, so
    // its wake channel must be written. Once per taken request, after its WriteReply.
    bool Finish(const RingView& ring, const RingRequest& request);
    // WriteReply and Finish at once.
    bool Complete(const RingView& ring, const RingRequest& request, uint32_t status,
                  uint32_t information, std::span<const uint8_t> output, uint64_t arrival_ns = 0) {
        WriteReply(ring, request, status, information, output, arrival_ns);
        return Finish(ring, request);
    }
    // Requests taken and not completed.
    uint32_t InFlight() const;

  private:
    uint32_t head_ = 0;  // entries taken so far (wraps with the client's tail)
    std::array<std::atomic<bool>, kSlots> in_flight_{};
};

}  // namespace qorval::protocol::ring
