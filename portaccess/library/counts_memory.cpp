#include "portaccess/library/counts_memory.h"

#include <poll.h>

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

uint16_t FramesWaiting(const ring::CountsLook& look) {
    return static_cast<uint16_t>(look.counts & 0xFFFF);
}

}  // namespace

CountsMemory::CountsMemory(ring::RingView ring, int socket) : ring_(ring), socket_(socket) {}

bool CountsMemory::LookValid(ring::CountsLook& look) const {
    const auto until = Clock::now() + kWithdrawnLook;
    for (;;) {
        if (!ring::LookAtCounts(ring_, look)) {
            return false;
        }
        if (look.valid) {
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
    if (!LookValid(look)) {
        return std::nullopt;
    }
    if (FramesWaiting(look) == 0 && PollsAgainUnchanged(look.sequence)) {
        Rest(look.sequence);
        if (!LookValid(look)) {
            return std::nullopt;
        }
    }
    if (!HostStillThere()) {
        return std::nullopt;
    }
    if (FramesWaiting(look) == 0) {
        NoteEmpty(look.sequence);
    }
    for (size_t i = 0; i < wyvel32::kBufferCountSize; ++i) {
        output[i] = static_cast<uint8_t>(look.counts >> (8 * i));
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
    if (stopped_.load(std::memory_order_relaxed) || !ring::LookAtCounts(ring_, look) ||
        !look.valid || FramesWaiting(look) != 0 || !PollsAgainUnchanged(look.sequence)) {
        return;
    }
    Rest(look.sequence);
}

void CountsMemory::NoteRead(const Completion& done) {
    ring::CountsLook look;
    // The host shows a read's completion while the counts are withdrawn and publishes them
    // again right after its round; an empty read waits those few microseconds for them.
    if (done.delivered && done.output_size == 0 && LookValid(look) && FramesWaiting(look) == 0) {
        NoteEmpty(look.sequence);
    } else {
        empty_sequence_.store(1, std::memory_order_relaxed);
    }
}

}  // namespace qorval::library
