#include "host/protocol/counts_block.h"

#include <linux/futex.h>
#include <sys/syscall.h>
#include <unistd.h>

#include <atomic>
#include <climits>
#include <ctime>

#include "kernel/processor_pause.h"

namespace qorval::protocol::ring {

namespace {

// Looks at a half-written block again this often, pausing between looks, before giving up: the
// host stores five words between the two stores of the sequence, so a live host that is
// running finishes long before (one that was descheduled meanwhile is asked instead).
constexpr int kLooksAtAHalfWrittenBlock = 1024;

// The mapping is shared between processes, so these are the shared (not private) futex
// operations on the word's address.
long Futex(uint32_t* word, int operation, uint32_t value, const timespec* timeout) {
    return ::syscall(SYS_futex, word, operation, value, timeout, nullptr, 0);
}

}  // namespace

void CountsWriter::Publish(const RingView& ring, std::optional<uint32_t> counts,
                           AheadMark ahead) {
    if (counts.has_value() == valid_ && (!valid_ || (*counts == counts_ && ahead == ahead_))) {
        return;
    }
    valid_ = counts.has_value();
    counts_ = counts.value_or(0);
    ahead_ = valid_ ? ahead : AheadMark{};
    // A withdrawal wakes nobody: a sleeper would only find nothing to read yet.
    Write(ring, valid_);
}

void CountsWriter::Nudge(const RingView& ring) {
    Write(ring, true);
}

void CountsWriter::Write(const RingView& ring, bool wake) {
    CountsBlock& block = ring.header().counts;
    Store(block.sequence, sequence_ + 1, std::memory_order_relaxed);
    std::atomic_thread_fence(std::memory_order_release);
    Store(block.valid, valid_ ? kCountsValid : 0, std::memory_order_relaxed);
    Store(block.counts, counts_, std::memory_order_relaxed);
    Store(block.ahead_tail, ahead_.tail, std::memory_order_relaxed);
    Store(block.ahead_from, ahead_.from, std::memory_order_relaxed);
    Store(block.ahead_buffers, ahead_.buffers, std::memory_order_relaxed);
    sequence_ += 2;
    Store(block.sequence, sequence_, std::memory_order_seq_cst);
    if (wake && Load(ring.header().counts_sleepers, std::memory_order_seq_cst) != 0) {
        (void)Futex(&block.sequence, FUTEX_WAKE, INT_MAX, nullptr);
    }
}

bool LookAtCounts(const RingView& ring, CountsLook& out) {
    CountsBlock& block = ring.header().counts;
    for (int look = 0; look < kLooksAtAHalfWrittenBlock; ++look) {
        const uint32_t before = Load(block.sequence, std::memory_order_acquire);
        if ((before & 1) != 0) {
            kernel::PauseProcessor();
            continue;
        }
        const uint32_t valid = Load(block.valid, std::memory_order_relaxed);
        const uint32_t counts = Load(block.counts, std::memory_order_relaxed);
        const AheadMark ahead{Load(block.ahead_tail, std::memory_order_relaxed),
                              Load(block.ahead_from, std::memory_order_relaxed),
                              Load(block.ahead_buffers, std::memory_order_relaxed)};
        std::atomic_thread_fence(std::memory_order_acquire);
        if (Load(block.sequence, std::memory_order_relaxed) == before) {
            out.sequence = before;
            out.valid = valid == kCountsValid;
            out.counts = counts;
            out.ahead = ahead;
            return true;
        }
    }
    return false;
}

void WaitForCountsChange(const RingView& ring, uint32_t seen, std::chrono::nanoseconds bound) {
    CountsBlock& block = ring.header().counts;
    std::atomic_ref<uint32_t> sleepers(ring.header().counts_sleepers);
    sleepers.fetch_add(1, std::memory_order_seq_cst);
    if (Load(block.sequence, std::memory_order_seq_cst) == seen) {
        const auto seconds = std::chrono::duration_cast<std::chrono::seconds>(bound);
        const timespec timeout{static_cast<time_t>(seconds.count()),
                               static_cast<long>((bound - seconds).count())};
        // A wake, the bound, a signal or a sequence that moved on meanwhile all end the wait;
        // the caller looks again either way.
        (void)Futex(&block.sequence, FUTEX_WAIT, seen, &timeout);
    }
    sleepers.fetch_sub(1, std::memory_order_seq_cst);
}

}  // namespace qorval::protocol::ring
