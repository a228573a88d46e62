#include "host/server/counts_publisher.h"

#include <algorithm>
#include <atomic>

#include "driver/ioctl_codes.h"
#include "driver/ntstatus.h"

namespace qorval::host {

CountsPublisher::CountsPublisher(kernel::IoManager& kernel, kernel::IoManager::Handle handle,
                                 protocol::ring::RingView ring)
    : kernel_(kernel), handle_(handle), ring_(ring) {}

void CountsPublisher::Start() {
    activity_ = kernel_.ActivityOf(handle_);
    if (!activity_) {
        return;
    }
    activity_->AddWatcher(shared_from_this());
    Refresh();
}

void CountsPublisher::Stop() {
    if (activity_) {
        activity_->RemoveWatcher(this);
    }
    std::lock_guard guard(lock_);
    stopped_ = true;
    writer_.Publish(ring_, std::nullopt);
    writer_.Nudge(ring_);  // a sleeper wakes and asks the host, which has gone
}

void CountsPublisher::BeginRound() {
    std::lock_guard guard(lock_);
    round_ = true;
    WithdrawLocked();
}

void CountsPublisher::EndRound() {
    {
        std::lock_guard guard(lock_);
        round_ = false;
    }
    Refresh();
}

void CountsPublisher::Unsettled(Cause cause, uint64_t run) {
    std::lock_guard guard(lock_);
    if (cause == Cause::Interrupt) {
        runs_begun_ = std::max(runs_begun_, run);
    } else {
        ++requests_;
    }
    WithdrawLocked();
}

void CountsPublisher::Settled(Cause cause, uint64_t run) {
    {
        std::lock_guard guard(lock_);
        if (cause == Cause::Interrupt) {
            runs_settled_ = std::max(runs_settled_, run);
        } else if (requests_ != 0) {
            --requests_;
        }
    }
    Refresh();
}

bool CountsPublisher::BusyLocked() const {
    return stopped_ || round_ || requests_ != 0 || runs_begun_ > runs_settled_;
}

void CountsPublisher::WithdrawLocked() {
    ++epoch_;
    if (!stopped_) {
        writer_.Publish(ring_, std::nullopt);
    }
}

void CountsPublisher::Refresh() {
    uint64_t epoch = 0;
    {
        std::lock_guard guard(lock_);
        if (BusyLocked()) {
            return;
        }
        epoch = epoch_;
    }
    // The driver answers a buffer count at once, on this thread, without its locks; an answer
    // that came later would find nobody waiting for it and count as none.
    struct Answer {
        std::atomic<uint32_t> counts{0};
        std::atomic<bool> given{false};
    };
    const auto answer = std::make_shared<Answer>();
    kernel_.DeviceControl(
        handle_, wyvel32::IOCTL_GET_BUFFER_COUNT, {}, wyvel32::kBufferCountSize,
        [answer](kernel::NTSTATUS status, uint64_t information, std::span<const uint8_t> output) {
            if (status == wyvel32::STATUS_SUCCESS && information == wyvel32::kBufferCountSize &&
                output.size() == wyvel32::kBufferCountSize) {
                answer->counts.store(uint32_t{output[0]} | uint32_t{output[1]} << 8 |
                                     uint32_t{output[2]} << 16 | uint32_t{output[3]} << 24);
                answer->given.store(true, std::memory_order_release);
            }
        });
    const bool answered = answer->given.load(std::memory_order_acquire);
    const uint32_t counts = answer->counts.load();
    std::lock_guard guard(lock_);
    if (BusyLocked() || epoch != epoch_) {
        return;  // withdrawn meanwhile: whoever withdrew it publishes again when settled
    }
    // Any other answer (the handle is closing) is left to the driver's request to give.
    writer_.Publish(ring_, answered ? std::optional<uint32_t>(counts) : std::nullopt);
}

}  // namespace qorval::host
