#include "portaccess/library/ring_transport.h"

#include <poll.h>

#include <chrono>
#include <cstring>

#include "driver/ioctl_codes.h"
#include "driver/ntstatus.h"
#include "host/protocol/descriptor_passing.h"
#include "host/protocol/spin_wait.h"

namespace qorval::library {

namespace ring = protocol::ring;

namespace {
constexpr uint32_t kAllSlots = (1u << ring::kSlots) - 1;
static_assert(ring::kSlots < 32);
// How long a caller looks for its completion before it sleeps: a request the host serves at
// once completes well within it.
constexpr auto kSpinBudget = std::chrono::microseconds(50);
}  // namespace

RingTransport::RingTransport(std::unique_ptr<ring::RingRegion> region, int socket)
    : region_(std::move(region)),
      ring_(region_->view()),
      socket_(socket),
      counts_(ring_, socket, ahead_) {}

uint32_t RingTransport::AcquireSlot() {
    std::unique_lock lock(slots_lock_);
    // Every busy slot completes or times out within the reply timeout, so this wait ends.
    slot_freed_.wait(lock, [&] { return broken_ || busy_slots_ != kAllSlots; });
    if (broken_) {
        return kNoSlot;
    }
    const uint32_t slot = static_cast<uint32_t>(__builtin_ctz(~busy_slots_));
    busy_slots_ |= 1u << slot;
    return slot;
}

void RingTransport::ReleaseSlot(uint32_t slot) {
    {
        std::lock_guard lock(slots_lock_);
        busy_slots_ &= ~(1u << slot);
    }
    slot_freed_.notify_one();
}

void RingTransport::Break() {
    counts_.Stop();
    {
        std::lock_guard lock(slots_lock_);
        broken_ = true;
    }
    slot_freed_.notify_all();
}

void RingTransport::Submit(uint32_t slot) {
    ring::RingHeader& header = ring_.header();
    {
        std::lock_guard lock(submit_lock_);
        ring::Store(header.submissions[tail_ % ring::kSlots], slot);
        ++tail_;
        ring::Store(header.submit_tail, tail_, std::memory_order_seq_cst);
    }
    if (ring::Load(header.host_asleep, std::memory_order_seq_cst) != 0) {
        protocol::Wake(region_->host_wake());
    }
}

bool RingTransport::AwaitCompletion(uint32_t slot) {
    ring::SlotHeader& shared = ring_.slot(slot);
    const auto completed = [&] {
        return ring::Load(shared.state, std::memory_order_acquire) == ring::kCompleted;
    };
    if (protocol::YieldUntil(completed, kSpinBudget)) {
        return true;
    }
    using Clock = std::chrono::steady_clock;
    const auto deadline = Clock::now() + std::chrono::milliseconds(kReplyTimeoutMs);
    for (;;) {
        // Say so before the last look, so that a completion after it writes the wake channel.
        ring::Store(shared.waiting, 1, std::memory_order_seq_cst);
        if (ring::Load(shared.state, std::memory_order_seq_cst) == ring::kCompleted) {
            ring::Store(shared.waiting, 0);
            return true;
        }
        const auto left =
            std::chrono::ceil<std::chrono::milliseconds>(deadline - Clock::now()).count();
        if (left <= 0) {
            ring::Store(shared.waiting, 0);
            return false;
        }
        pollfd waits[2] = {{region_->slot_wake(slot), POLLIN, 0},
                           {socket_, POLLIN | POLLRDHUP, 0}};
        (void)::poll(waits, 2, static_cast<int>(left));
        ring::Store(shared.waiting, 0);
        if (completed()) {
            return true;
        }
        if (waits[1].revents != 0) {
            return false;  // the host ended the connection (or is ending it)
        }
        if (waits[0].revents != 0) {
            protocol::DrainWakes(region_->slot_wake(slot));
        }
    }
}

Completion RingTransport::Carry(const Call& call) {
    if (call.function == protocol::Function::DeviceControl &&
        call.control_code == wyvel32::IOCTL_GET_BUFFER_COUNT && call.input.empty()) {
        if (std::optional<Completion> answer = counts_.BufferCount(call.output)) {
            return *answer;
        }
    }
    if (call.function != protocol::Function::Read) {
        return CarryOnRing(call);
    }
    const Completion done = Read(call);
    counts_.NoteRead(done);
    return done;
}

Completion RingTransport::Read(const Call& call) {
    const ring::AheadView area(ring_);
    // Rested before the read lock is taken, so that the handle's threads rest side by side,
    // each within the bound. A rest ends when the host publishes counts; a host that reads
    // ahead must count the frames it holds in them (docs/request-transport.md, "Reading
    // ahead"), or a frame held would wait out the rest.
    counts_.RestBeforeRead();
    std::lock_guard reading(read_lock_);
    // Frames held for a host that has died are not answered: every call fails after its end.
    if (counts_.Stopped() || !counts_.HostStillThere()) {
        return CarryOnRing(call);
    }
    ring::FramesAheadReader::Answer answer;
    switch (ahead_.Read(area, call.output, answer)) {
        case ring::FramesAheadReader::Outcome::Answered: {
            Completion done;
            done.delivered = true;
            done.status = answer.status;
            done.information = answer.information;
            done.output_size = answer.information;
            done.arrival_ns = answer.arrival_ns;
            return done;
        }
        case ring::FramesAheadReader::Outcome::Garbled:
            Break();
            return {};
        case ring::FramesAheadReader::Outcome::Empty:
            break;
    }
    // Nothing held, and the driver's count of this moment shows nothing waiting: its read would
    // find nothing (a synchronous handle's read of an empty port is success with no bytes).
    if (ring::FramesAheadReader::Serves(area, call.output.size()) &&
        counts_.ShowsNothingWaiting()) {
        Completion done;
        done.delivered = true;
        done.status = wyvel32::STATUS_SUCCESS;
        return done;
    }
    Call named = call;
    named.control_code = ahead_.head();  // the host answers from the area if it has read ahead
    std::optional<uint32_t> next;
    const Completion done = CarryOnRing(named, &next);
    if (next && !ahead_.MoveTo(area, *next)) {
        Break();
        return {};
    }
    return done;
}

Completion RingTransport::CarryOnRing(const Call& call, std::optional<uint32_t>* ahead_next) {
    Completion done;
    if (call.input.size() > ring::kSlotDataSize || call.output.size() > ring::kSlotDataSize) {
        return done;
    }
    const uint32_t slot = AcquireSlot();
    if (slot == kNoSlot) {
        return done;
    }
    ring::SlotHeader& shared = ring_.slot(slot);
    const uint32_t sequence = next_sequence_.fetch_add(1, std::memory_order_relaxed);
    if (!call.input.empty()) {
        std::memcpy(ring_.data(slot), call.input.data(), call.input.size());
    }
    ring::Store(shared.sequence, sequence);
    ring::Store(shared.function, static_cast<uint32_t>(call.function));
    ring::Store(shared.control_code, call.control_code);
    ring::Store(shared.output_length, static_cast<uint32_t>(call.output.size()));
    ring::Store(shared.input_length, static_cast<uint32_t>(call.input.size()));
    ring::Store(shared.waiting, 0);
    ring::Store(shared.state, ring::kSubmitted);
    Submit(slot);
    if (!AwaitCompletion(slot)) {
        // The slot stays taken: a late answer may still land in it.
        Break();
        return done;
    }
    const uint32_t reply_sequence = ring::Load(shared.reply_sequence);
    const uint32_t reply_length = ring::Load(shared.reply_length);
    if (reply_sequence != sequence || reply_length > call.output.size()) {
        Break();  // a garbled answer: the ring cannot be trusted any more
        return done;
    }
    done.delivered = true;
    done.status = ring::Load(shared.status);
    done.information = ring::Load(shared.information);
    done.output_size = reply_length;
    done.arrival_ns = (uint64_t{ring::Load(shared.arrival_high)} << 32) |
                      ring::Load(shared.arrival_low);
    if (reply_length != 0) {
        std::memcpy(call.output.data(), ring_.data(slot), reply_length);
    }
    if (ahead_next != nullptr && ring::Load(shared.ahead_taken) != 0) {
        *ahead_next = ring::Load(shared.ahead_next);
    }
    ring::Store(shared.state, ring::kFree);
    ReleaseSlot(slot);
    return done;
}

}  // namespace qorval::library
