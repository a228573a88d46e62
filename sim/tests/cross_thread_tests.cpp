// Two cards on a line, each used by its own thread under its own lock, as the driver host does:
// frames and modem-line changes crossing between them must arrive whole and in order.

#include <gtest/gtest.h>

#include <mutex>
#include <thread>

#include "sim/line.h"
#include "sim/tests/port_under_test.h"

namespace qorval::sim {
namespace {

using testing::Pattern;
using testing::PortUnderTest;

TEST(CrossThread, FramesAndModemLinesCrossBetweenCardsOnTheirOwnThreads) {
    constexpr uint32_t kFrames = 48;
    PortUnderTest a({.tx_buffers = 4, .rx_buffers = 4}), b({.rx_buffers = kFrames, .rx_size = 64});
    a.Open();
    b.Open();
    std::mutex a_lock, b_lock;  // each card's interrupt lock
    auto line = Line::Pair(a.card, b.card);

    std::thread sender([&] {
        for (uint32_t i = 0; i < kFrames; ++i) {
            std::lock_guard guard(a_lock);
            a.QueueFrame(i % 4, Pattern(40, static_cast<uint8_t>(i)));
            a.StartTransmit(i % 4);
            a.Reg(reg::PCR, (i & 1) != 0 ? 0xE8F9 : 0xF8F9);  // DTR toggles
            a.card.StallMicroseconds(1);  // the frame goes out while the driver waits
        }
    });
    uint64_t received = 0;
    for (uint64_t spins = 0; received < kFrames && spins < 100'000'000; ++spins) {
        std::lock_guard guard(b_lock);
        b.card.Advance(1000);
        b.Read(reg::MISR);
        received = b.card.Statistics().frames_received;
    }
    sender.join();
    ASSERT_EQ(received, kFrames);
    for (uint32_t i = 0; i < kFrames; ++i) {
        EXPECT_EQ(b.RxBytes(i, 40), Pattern(40, static_cast<uint8_t>(i))) << i;
    }
    EXPECT_TRUE(b.card.GetModemInputs().dsr);  // the last frame left DTR asserted
    EXPECT_EQ(line->Stats().frames_carried, kFrames);
}

}  // namespace
}  // namespace qorval::sim
