#include "host/bus/card_lock.h"

#include "kernel/sync.h"

namespace qorval::host {

void CardLock::lock() {
    kernel::LockTryingFirst(mutex_);
    if (++depth_ == 1 && entered_) {
        entered_();
    }
}

void CardLock::unlock() {
    bool wake = false;
    if (--depth_ == 0 && noted_) {
        noted_ = false;
        wake = ChangedSinceNoted();
    }
    mutex_.unlock();
    if (wake) {
        wake_();
    }
}

void CardLock::UnlockAfterStep() {
    if (depth_ == 1) {
        noted_ = false;
    }
    unlock();
}

void CardLock::NoteChange() {
    if (noted_) {
        return;
    }
    noted_ = true;
    next_event_before_ = card_.NextEventTime();
    interrupt_before_ = card_.InterruptAsserted();
    frames_sent_before_ = card_.Statistics().frames_sent;
}

bool CardLock::ChangedSinceNoted() const {
    return card_.NextEventTime() < next_event_before_ ||
           (card_.InterruptAsserted() && !interrupt_before_) ||
           card_.Statistics().frames_sent != frames_sent_before_;
}

}  // namespace qorval::host
