#pragma once
// The lock of one simulated card inside the driver host, which is also the port's interrupt
// lock. Besides excluding, it tells the card clock when to step: a section of the driver
// (one ring operation, one register access outside them) that changed the card so that the
// clock must look at it now wakes the clock once, after the section's outermost release.
// "Changed" means the card now has an event due sooner than before the section, raised its
// interrupt, or put a frame on its line (a stall inside a copy lets the card run on); a write
// that only fills a buffer or selects a page leaves the clock asleep until its next event.
// Every section that takes the lock afresh also tells its owner so (`entered`): a thread that
// looks at the card while one of its events is already due can step it there and then.

#include <cstdint>
#include <functional>
#include <mutex>

#include "kernel/shared_interrupt_lock.h"
#include "sim/sim_card.h"

namespace qorval::host {

class CardLock final : public kernel::SharedInterruptLock {
  public:
    // `wake` runs outside the lock; `entered`, when given, under it, at each outermost lock.
    CardLock(const sim::SimCard& card, std::function<void()> wake,
             std::function<void()> entered = {})
        : card_(card), wake_(std::move(wake)), entered_(std::move(entered)) {}
    CardLock(const CardLock&) = delete;
    CardLock& operator=(const CardLock&) = delete;

    void lock() override;
    void unlock() override;
    // Under the lock, before an access that may change the card (a register write, a stall).
    void NoteChange();
    // The card clock's own sections: the clock looks at the card when its step ends, so
    // whatever the interrupt service routine did inside the step wakes nobody.
    void UnlockAfterStep();

  private:
    bool ChangedSinceNoted() const;

    std::recursive_mutex mutex_;
    const sim::SimCard& card_;
    const std::function<void()> wake_;
    const std::function<void()> entered_;
    // Guarded by mutex_ (only its owner touches them).
    unsigned depth_ = 0;
    bool noted_ = false;
    uint64_t next_event_before_ = 0;
    bool interrupt_before_ = false;
    uint64_t frames_sent_before_ = 0;
};

}  // namespace qorval::host
