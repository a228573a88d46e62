#include "host/server/counts_publisher.h"

#include <algorithm>
#include <atomic>

#include "host/server/driver_questions.h"

namespace qorval::host {

CountsPublisher::CountsPublisher(kernel::IoManager& kernel, kernel::IoManager::Handle handle,
                                 protocol::ring::RingView ring, std::shared_ptr<ReadAhead> ahead)
    : kernel_(kernel), handle_(handle), ring_(ring), ahead_(std::move(ahead)) {}

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
    if (ahead_) {
        ahead_->Close();
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

void CountsPublisher::RefreshIfMissed() {
    if (refresh_missed_.load(std::memory_order_seq_cst)) {
        Refresh();
    }
}

void CountsPublisher::Unsettled(Cause cause, uint64_t run) {
    if (ahead_ && cause != Cause::Interrupt) {
        ahead_->RequestBegins(cause == Cause::Start);
    }
    std::lock_guard guard(lock_);
    if (cause == Cause::Interrupt) {
        runs_begun_ = std::max(runs_begun_, run);
    } else {
        ++requests_;
    }
    WithdrawLocked();
}

void CountsPublisher::Settled(Cause cause, uint64_t run) {
    if (ahead_ && cause == Cause::Interrupt) {
        ahead_->PollAfterInterrupt();
    }
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

bool CountsPublisher::TakingAllowedLocked() const {
    // A round of the client's requests does not stop it: the requests that touch received
    // frames hold the area while the driver serves them.
    return !stopped_ && requests_ == 0 && runs_begun_ <= runs_settled_;
}

bool CountsPublisher::StillSettled(uint64_t epoch) {
    std::lock_guard guard(lock_);
    return TakingAllowedLocked() && epoch == epoch_;
}

void CountsPublisher::Refresh() {
    // Whoever holds the area when this is asked refreshes once more after letting go.
    refresh_missed_.store(true, std::memory_order_seq_cst);
    while (refresh_missed_.exchange(false, std::memory_order_seq_cst)) {
        if (!RefreshOnce()) {
            return;
        }
    }
}

bool CountsPublisher::RefreshOnce() {
    uint64_t epoch = 0;
    {
        std::lock_guard guard(lock_);
        if (ahead_ ? !TakingAllowedLocked() : BusyLocked()) {
            return false;
        }
        epoch = epoch_;
    }
    std::optional<ReadAhead::Hold> area;
    if (ahead_) {
        area.emplace(*ahead_, ReadAhead::Hold::Wait::No);
        if (!area->held()) {
            refresh_missed_.store(true, std::memory_order_seq_cst);
            return false;
        }
    }
    std::optional<uint32_t> counts = AskBufferCount(kernel_, handle_);
    if (ahead_ && ahead_->Prepare() && counts) {
        if (ahead_->TakesAt(FramesWaitingOf(*counts))) {
            // The area is about to move: the counts go first, so that no client adds what it
            // takes to counts from before. (With none waiting, a frame can only come with a
            // service routine, which withdraws them itself.)
            std::lock_guard guard(lock_);
            if (!TakingAllowedLocked() || epoch != epoch_) {
                return true;
            }
            WithdrawLocked();
            epoch = epoch_;
        }
        counts = ahead_->TakeWaiting(counts, [&] { return StillSettled(epoch); });
    }
    const protocol::ring::AheadMark mark =
        ahead_ ? ahead_->writer().Mark() : protocol::ring::AheadMark{};
    std::lock_guard guard(lock_);
    if (BusyLocked() || epoch != epoch_) {
        return true;  // withdrawn meanwhile: whoever withdrew it publishes again when settled
    }
    // Any other answer (the handle is closing) is left to the driver's request to give.
    writer_.Publish(ring_, counts, mark);
    return true;
}

}  // namespace qorval::host
