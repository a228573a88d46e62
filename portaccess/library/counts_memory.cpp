#include "portaccess/library/counts_memory.h"

#include <poll.h>

#include <algorithm>
#include <atomic>

#include "driver/ioctl_codes.h"
#include "driver/ntstatus.h"
#include "kernel/processor_pause.h"

namespace qorval::library {

namespace ring = protocol::ring;

namespace {

using Clock = std::chrono::steady_clock;

// How long a withdrawn block is looked at before the host is asked: serving an interrupt and
// its DPCs takes a few microseconds.
constexpr auto kWithdrawnLook = std::chrono::microseconds(20);
// A poll that comes within this long of an empty one belongs to a loop that polls.
constexpr auto kPollsAgainWithin = std::chrono::milliseconds(2);
// How long a resting caller spins on the block before it sleeps.
constexpr auto kRestSpin = std::chrono::microseconds(10);
// How often the device socket is looked at while counts come from memory.
constexpr auto kSocketCheckEvery = std::chrono::milliseconds(1);

int64_t Now() {
    return std::chrono::duration_cast<std::chrono::nanoseconds>(Clock::now().time_since_epoch())
        .count();
}

}  // namespace

CountsMemory::CountsMemory(ring::RingView ring, int socket, const ring::FramesAheadReader& ahead)
    : ring_(ring), socket_(socket), ahead_(ahead) {}

bool CountsMemory::LookOnce(ring::CountsLook& look, uint32_t& waiting) const {
    if (!ring::LookAtCounts(ring_, look) || !look.valid) {
        return false;
    }
    const std::optional<uint32_t> held = ahead_.HeldBuffers(ring::AheadView(ring_), look.ahead);
    // The records counted stay as they were only while the block does.
    std::atomic_thread_fence(std::memory_order_acquire);
    if (!held || ring::Load(ring_.header().counts.sequence, std::memory_order_relaxed) !=
                     look.sequence) {
        return false;
    }
    waiting = std::min<uint32_t>((look.counts & 0xFFFF) + *held, 0xFFFF);
    return true;
}

bool CountsMemory::LookValid(ring::CountsLook& look, uint32_t& waiting) const {
    const auto until = Clock::now() + kWithdrawnLook;
    for (;;) {
        if (LookOnce(look, waiting)) {
            return true;
        }
        if (Clock::now() >= until) {
            return false;
        }
        kernel::PauseProcessor();
    }
}

bool CountsMemory::PollsAgainUnchanged(uint32_t sequence) const {
    return sequence == empty_sequence_.load(std::memory_order_relaxed) &&
           Now() - empty_at_.load(std::memory_order_relaxed) <=
               std::chrono::nanoseconds(kPollsAgainWithin).count();
}

void CountsMemory::NoteEmpty(uint32_t sequence) {
    empty_sequence_.store(sequence, std::memory_order_relaxed);
    empty_at_.store(Now(), std::memory_order_relaxed);
}

void CountsMemory::Rest(uint32_t sequence) const {
    uint32_t& word = ring_.header().counts.sequence;
    const auto until = Clock::now() + kRestSpin;
    while (Clock::now() < until) {
        if (ring::Load(word, std::memory_order_acquire) != sequence) {
            return;
        }
        kernel::PauseProcessor();
    }
    ring::WaitForCountsChange(ring_, sequence, kIdleBound);
}

bool CountsMemory::HostStillThere() {
    const int64_t now = Now();
    if (now - socket_checked_at_.load(std::memory_order_relaxed) <
        std::chrono::nanoseconds(kSocketCheckEvery).count()) {
        return true;
    }
    // On a ring connection the host sends nothing on the socket but an error reply before it
    // closes it: anything there means the end.
    pollfd end{socket_, POLLIN | POLLRDHUP, 0};
    if (::poll(&end, 1, 0) != 0) {
        return false;
    }
    socket_checked_at_.store(now, std::memory_order_relaxed);
    return true;
}

std::optional<Completion> CountsMemory::BufferCount(std::span<uint8_t> output) {
    if (stopped_.load(std::memory_order_relaxed) || output.size() != wyvel32::kBufferCountSize) {
        return std::nullopt;
    }
    ring::CountsLook look;
    uint32_t waiting = 0;
    if (!LookValid(look, waiting)) {
        return std::nullopt;
    }
    if (waiting == 0 && PollsAgainUnchanged(look.sequence)) {
        Rest(look.sequence);
        if (!LookValid(look, waiting)) {
            return std::nullopt;
        }
    }
    if (!HostStillThere()) {
        return std::nullopt;
    }
    if (waiting == 0) {
        NoteEmpty(look.sequence);
    }
    const uint32_t counts = (look.counts & 0xFFFF0000u) | waiting;
    for (size_t i = 0; i < wyvel32::kBufferCountSize; ++i) {
        output[i] = static_cast<uint8_t>(counts >> (8 * i));
    }
    Completion done;
    done.delivered = true;
    done.status = wyvel32::STATUS_SUCCESS;
    done.information = wyvel32::kBufferCountSize;
    done.output_size = wyvel32::kBufferCountSize;
    return done;
}

void CountsMemory::RestBeforeRead() {
    ring::CountsLook look;
    uint32_t waiting = 0;
    if (stopped_.load(std::memory_order_relaxed) || !LookOnce(look, waiting) || waiting != 0 ||
        !PollsAgainUnchanged(look.sequence)) {
        return;
    }
    Rest(look.sequence);
}

bool CountsMemory::ShowsNothingWaiting() {
    ring::CountsLook look;
    uint32_t waiting = 0;
    return !stopped_.load(std::memory_order_relaxed) && LookOnce(look, waiting) && waiting == 0 &&
           HostStillThere();
}

void CountsMemory::NoteRead(const Completion& done) {
    ring::CountsLook look;
    uint32_t waiting = 0;
    // The host shows a read's completion while the counts are withdrawn and publishes them
    // again right after its round; an empty read waits those few microseconds for them.
    if (done.delivered && done.output_size == 0 && LookValid(look, waiting) && waiting == 0) {
        NoteEmpty(look.sequence);
    } else {
        empty_sequence_.store(1, std::memory_order_relaxed);
    }
}

}  // namespace qorval::library
