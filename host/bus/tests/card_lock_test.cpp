// When a card's lock wakes the card clock: once, at the end of a driver section that changed
// what the card does next (a frame started, the interrupt raised, a frame put on the line
// during a stall), and never for a section that only fills card memory, selects a page or
// reads, nor for the clock's own step.

#include "host/bus/card_lock.h"

#include <gtest/gtest.h>

#include <chrono>
#include <mutex>

#include "host/bus/card_clock.h"
#include "host/bus/locked_card.h"
#include "kernel/dispatch_scope.h"
#include "sim/iusc_registers.h"
#include "sim/line.h"

namespace qorval::host {
namespace {

using namespace qorval::sim;

constexpr uint32_t kTxEntry = 0x0000;
constexpr uint32_t kTxBuffer = 0x1000;

class CardLockTest : public ::testing::Test {
  protected:
    CardLockTest() {
        // Programmed directly on the card, as a channel set-up before the clock runs.
        card_.WriteBoard(board::kControl, board::kEnable);
        card_.WriteReg16(reg::CCAR, 0x000F);  // the bus configuration write
        card_.WriteReg16(reg::CMR, 0x0606);
        card_.WriteReg16(reg::TDMR, 0xF000);
        card_.WriteReg16(reg::TMR, 0x1702);
        auto memory = card_.CardMemory();
        memory[kTxEntry + 0] = kTxBuffer & 0xFF;
        memory[kTxEntry + 1] = kTxBuffer >> 8;
        memory[kTxEntry + 4] = 64;  // one 64-byte frame queued
    }
    // The driver starting transmit DMA, as its write does when the transmitter is idle.
    void StartTransmitDma() {
        hardware_.WriteReg16(reg::NTARL, kTxEntry);
        hardware_.WriteReg16(reg::DCAR, 0x7100);
    }

    SimCard card_;
    int wakes_ = 0;
    CardLock lock_{card_, [this] { ++wakes_; }};
    LockedCard hardware_{card_, lock_};
};

TEST_F(CardLockTest, StartingAFrameWakesTheClockOnceWhenTheSectionEnds) {
    {
        std::lock_guard section(lock_);
        hardware_.WriteBoard(board::kControl, board::kEnable);
        StartTransmitDma();
        EXPECT_EQ(wakes_, 0) << "woken while the driver still holds the card";
    }
    EXPECT_EQ(wakes_, 1);
    // A single access outside a section is a section of its own.
    hardware_.WriteReg16(reg::DCAR, 0x4100);  // pause: nothing sooner, no interrupt
    EXPECT_EQ(wakes_, 1);
}

TEST_F(CardLockTest, FillingMemorySelectingPagesAndReadingLeaveTheClockAsleep) {
    {
        std::lock_guard section(lock_);
        const uint8_t frame[64] = {1, 2, 3};
        hardware_.WriteBoard(board::kControl, board::kEnable | 3);
        hardware_.WriteWindowWords(0x100, frame, sizeof(frame) / 4);
        hardware_.WriteWindowBytes(0x200, frame, 3);
        (void)hardware_.ReadReg16(reg::TDMR);
        hardware_.WriteReg16(reg::RCLR, 0xFFFF);
    }
    EXPECT_EQ(wakes_, 0);
}

TEST_F(CardLockTest, RaisingTheInterruptWakesTheClock) {
    hardware_.WriteReg16(reg::ICR, reg::kIcrMasterEnable | (reg::kIpTransmitStatus << reg::kIcrEnableShift));
    EXPECT_EQ(wakes_, 0);
    hardware_.WriteReg16(reg::DCCR, reg::kDccrSetIp | reg::kIpTransmitStatus);
    ASSERT_TRUE(card_.InterruptAsserted());
    EXPECT_EQ(wakes_, 1);
}

TEST_F(CardLockTest, AFrameLeavingDuringAStallWakesTheClock) {
    // Unlimited rate: the frame ends the instant it starts, and the stall in the same section
    // lets it leave; the card has nothing scheduled before or after, but its line has a frame.
    {
        std::lock_guard section(lock_);
        StartTransmitDma();
        hardware_.StallMicroseconds(2);
    }
    EXPECT_EQ(card_.Statistics().frames_sent, 1u);
    EXPECT_EQ(wakes_, 1);
}

TEST_F(CardLockTest, TheClocksOwnStepWakesNobody) {
    lock_.lock();
    StartTransmitDma();  // the interrupt service routine restarting DMA inside the step
    lock_.UnlockAfterStep();
    EXPECT_EQ(wakes_, 0);
    // The next section of the driver is judged on its own.
    {
        std::lock_guard section(lock_);
        hardware_.WriteReg16(reg::DCAR, 0x4100);
    }
    EXPECT_EQ(wakes_, 0);
}


// A connection's thread dispatching requests puts the step off to the end of its dispatch and
// does it itself, once however many sections asked for it; any other thread wakes the clock.
TEST(DispatchScopeTest, WorkPutOffRunsOnceAtTheEndOfTheOutermostScope) {
    int steps = 0;
    const auto step = [&] { ++steps; };
    EXPECT_FALSE(kernel::DispatchScope::PutOff(&steps, step)) << "nothing is put off outside a scope";
    {
        const kernel::DispatchScope outer;
        {
            const kernel::DispatchScope inner;
            EXPECT_TRUE(kernel::DispatchScope::PutOff(&steps, step));
        }
        EXPECT_TRUE(kernel::DispatchScope::PutOff(&steps, step));
        EXPECT_EQ(steps, 0) << "done before the dispatch ended";
    }
    EXPECT_EQ(steps, 1);
    {
        const kernel::DispatchScope again;
        EXPECT_TRUE(kernel::DispatchScope::PutOff(&steps, step));
    }
    EXPECT_EQ(steps, 2);
}

TEST_F(CardLockTest, StepNowSendsTheFrameOnTheCallingThreadOnlyWhileTheClockRuns) {
    auto line = Line::Open(card_);
    CardClock clock;
    CardClock::RunLine run;
    run.line = line.get();
    run.cards = {&card_};
    run.interrupts = {[] {}};
    run.locks = {&lock_};
    run.origin = std::chrono::steady_clock::now();
    clock.SetLines({run});
    const auto frames_sent = [&] {
        std::lock_guard section(lock_);
        return card_.Statistics().frames_sent;
    };
    const auto start_frame = [&] {
        std::lock_guard section(lock_);
        card_.CardMemory()[kTxEntry + 4] = 64;  // a fetch consumes the count
        hardware_.WriteBoard(board::kControl, board::kEnable);
        StartTransmitDma();
    };
    start_frame();
    clock.StepNow();
    EXPECT_EQ(frames_sent(), 0u) << "a clock that was never started stepped";
    // The card's lock here wakes no clock: it sleeps until its idle bound, far beyond this.
    clock.Start();
    clock.StepNow();  // the waiting frame leaves, whichever thread steps first
    ASSERT_EQ(frames_sent(), 1u);
    start_frame();
    clock.StepNow();
    EXPECT_EQ(frames_sent(), 2u) << "the frame waits for the clock's own step";
    clock.Stop();
    clock.SetLines({});
}

}  // namespace
}  // namespace qorval::host
