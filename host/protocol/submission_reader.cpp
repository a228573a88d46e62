#include "host/protocol/submission_reader.h"

#include <algorithm>
#include <cstring>

namespace qorval::protocol::ring {

bool SubmissionReader::HasSubmissions(const RingView& ring) const {
    return Load(ring.header().submit_tail, std::memory_order_seq_cst) != head_;
}

SubmissionReader::Outcome SubmissionReader::Take(const RingView& ring, RingRequest& out,
                                                 const char** problem) {
    RingHeader& header = ring.header();
    const uint32_t tail = Load(header.submit_tail, std::memory_order_acquire);
    const uint32_t waiting = tail - head_;  // modulo 2^32, as both sides count
    if (waiting == 0) {
        return Outcome::Empty;
    }
    // At most one entry per slot can wait: a slot is put on the ring once per request, and a
    // request is taken before it completes.
    if (waiting > kSlots) {
        *problem = "submission ring holds more entries than it has slots";
        return Outcome::Malformed;
    }
    const uint32_t slot = Load(header.submissions[head_ % kSlots]);
    ++head_;
    if (slot >= kSlots) {
        *problem = "submission names a slot outside the ring";
        return Outcome::Malformed;
    }
    if (in_flight_[slot].load(std::memory_order_acquire)) {
        *problem = "submission names a slot whose request is still in flight";
        return Outcome::Malformed;
    }
    SlotHeader& shared = ring.slot(slot);
    const uint32_t function = Load(shared.function);
    const uint32_t output_length = Load(shared.output_length);
    const uint32_t input_length = Load(shared.input_length);
    if (function > 0xFF) {
        *problem = "request has an unknown function code";
        return Outcome::Malformed;
    }
    if (const char* shape =
            RequestShapeProblem(static_cast<uint8_t>(function), output_length, input_length)) {
        *problem = shape;
        return Outcome::Malformed;
    }
    if (static_cast<Function>(function) == Function::Create) {
        *problem = "create request on the ring of an open handle";
        return Outcome::Malformed;
    }
    static_assert(kSlotDataSize >= kMaxPayload, "a slot holds every length the shape allows");
    out.slot = slot;
    out.sequence = Load(shared.sequence);
    out.function = static_cast<Function>(function);
    out.control_code = Load(shared.control_code);
    out.output_length = output_length;
    out.input_length = input_length;
    in_flight_[slot].store(true, std::memory_order_relaxed);
    return Outcome::Taken;
}

void SubmissionReader::WriteReply(const RingView& ring, const RingRequest& request,
                                  uint32_t status, uint32_t information,
                                  std::span<const uint8_t> output, uint64_t arrival_ns,
                                  std::optional<uint32_t> ahead_next) {
    SlotHeader& shared = ring.slot(request.slot);
    const size_t length = std::min<size_t>(output.size(), request.output_length);
    if (length != 0) {
        std::memcpy(ring.data(request.slot), output.data(), length);
    }
    Store(shared.reply_sequence, request.sequence);
    Store(shared.status, status);
    Store(shared.information, information);
    Store(shared.reply_length, static_cast<uint32_t>(length));
    Store(shared.arrival_low, static_cast<uint32_t>(arrival_ns));
    Store(shared.arrival_high, static_cast<uint32_t>(arrival_ns >> 32));
    Store(shared.ahead_taken, ahead_next ? 1u : 0u);
    Store(shared.ahead_next, ahead_next.value_or(0));
}

bool SubmissionReader::Finish(const RingView& ring, const RingRequest& request) {
    SlotHeader& shared = ring.slot(request.slot);
    // The slot may be submitted again as soon as the client sees it completed.
    in_flight_[request.slot].store(false, std::memory_order_release);
    Store(shared.state, kCompleted, std::memory_order_seq_cst);
    return Load(shared.waiting, std::memory_order_seq_cst) != 0;
}

uint32_t SubmissionReader::InFlight() const {
    return static_cast<uint32_t>(std::count_if(in_flight_.begin(), in_flight_.end(), [](const auto& busy) {
        return busy.load(std::memory_order_relaxed);
    }));
}

}  // namespace qorval::protocol::ring
