#pragma once
// A simulated card as the driver reaches it inside the driver host: every access takes the
// card's lock, so the thread that runs the card's clock never sees half an access.
//
// The lock is recursive and is also the port's interrupt lock (the host hands it to the kernel
// model with the function's resources). That gives one lock order for everybody: the card
// thread holds the lock while it steps the card and calls the driver's interrupt service
// routine from inside the step, exactly between the two events that raised the interrupt; the
// driver holds the same lock around every ring operation and re-enters it for each access.
// Register writes and stalls are noted on the lock, which wakes the card clock once at the end
// of the driver's section when they changed what the card does next (card_lock.h).

#include <mutex>

#include "driver/hardware.h"
#include "host/bus/card_lock.h"
#include "sim/sim_card.h"

namespace qorval::host {

class LockedCard final : public wyvel32::Hardware {
    // Runs one access holding the card's lock.
    template <class Access>
    auto Locked(Access&& access) {
        std::lock_guard guard(lock_);
        return access();
    }
    // An access that may change what the card does next.
    template <class Access>
    void Changing(Access&& access) {
        std::lock_guard guard(lock_);
        lock_.NoteChange();
        access();
    }

  public:
    LockedCard(sim::SimCard& card, CardLock& lock) : card_(card), lock_(lock) {}

    uint8_t ReadBoard(uint8_t offset) override {
        return Locked([&] { return card_.ReadBoard(offset); });
    }
    void WriteBoard(uint8_t offset, uint8_t value) override {
        Changing([&] { card_.WriteBoard(offset, value); });
    }
    uint8_t ReadReg8(uint8_t offset) override {
        return Locked([&] { return card_.ReadReg8(offset); });
    }
    void WriteReg8(uint8_t offset, uint8_t value) override {
        Changing([&] { card_.WriteReg8(offset, value); });
    }
    uint16_t ReadReg16(uint8_t offset) override {
        return Locked([&] { return card_.ReadReg16(offset); });
    }
    void WriteReg16(uint8_t offset, uint16_t value) override {
        Changing([&] { card_.WriteReg16(offset, value); });
    }
    uint16_t ReadWindow16(uint16_t offset) override {
        return Locked([&] { return card_.ReadWindow16(offset); });
    }
    void WriteWindow16(uint16_t offset, uint16_t value) override {
        Locked([&] { card_.WriteWindow16(offset, value); });
    }
    uint32_t ReadWindow32(uint16_t offset) override {
        return Locked([&] { return card_.ReadWindow32(offset); });
    }
    void WriteWindow32(uint16_t offset, uint32_t value) override {
        Locked([&] { card_.WriteWindow32(offset, value); });
    }
    void ReadWindowWords(uint16_t offset, uint8_t* host, size_t words) override {
        Locked([&] { card_.ReadWindowWords(offset, host, words); });
    }
    void WriteWindowWords(uint16_t offset, const uint8_t* host, size_t words) override {
        Locked([&] { card_.WriteWindowWords(offset, host, words); });
    }
    void ReadWindowBytes(uint16_t offset, uint8_t* host, size_t bytes) override {
        Locked([&] { card_.ReadWindowBytes(offset, host, bytes); });
    }
    void WriteWindowBytes(uint16_t offset, const uint8_t* host, size_t bytes) override {
        Locked([&] { card_.WriteWindowBytes(offset, host, bytes); });
    }
    void StallMicroseconds(uint32_t microseconds) override {
        Changing([&] { card_.StallMicroseconds(microseconds); });
    }

  private:
    sim::SimCard& card_;
    CardLock& lock_;
};

}  // namespace qorval::host
