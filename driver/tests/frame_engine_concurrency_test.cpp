// The frame engine driven from three threads at once, as the driver host does: a writer, a
// reader and the card's interrupt path, all serialised by the port's interrupt lock, while the
// buffer counts are read without it.

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <thread>

#include "driver/frame_engine.h"
#include "driver/port_init.h"
#include "driver/tests/driver_test_support.h"

namespace wyvel32::testing {
namespace {

constexpr uint32_t kFrames = 400;
constexpr uint32_t kRing = 6;

std::vector<uint8_t> FrameNumber(uint32_t n) {
    std::vector<uint8_t> frame(8 + n % 300);
    for (size_t i = 0; i < frame.size(); ++i) {
        frame[i] = static_cast<uint8_t>(n + i);
    }
    return frame;
}

class FrameEngineConcurrencyTest : public SimPortFixture, public ::testing::Test {};

TEST_F(FrameEngineConcurrencyTest, FramesArriveWholeAndInOrderAcrossThreads) {
    port.config.LoopBack = 1;
    port.config.TxBuffers = kRing;
    port.config.RxBuffers = kRing;
    card.EnableTrace(false);
    card.SetInterruptHandler([this] { ServiceInterrupt(port); });
    ASSERT_EQ(OpenTimeInitialisation(port), STATUS_SUCCESS);

    std::atomic<bool> stop{false};
    std::atomic<uint32_t> read_count{0};
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(120);
    auto expired = [&] { return std::chrono::steady_clock::now() > deadline; };

    // The interrupt path: deliver what the card raised, or let it run.
    std::thread interrupts([&] {
        while (!stop.load()) {
            SynchronizeExecution(sync, [&] {
                if (card.InterruptAsserted()) {
                    ServiceInterrupt(port);
                } else {
                    card.RunUntilIdle(1'000'000'000ull);
                }
            });
            std::this_thread::yield();
        }
    });

    // The writer keeps no more frames in flight than the receive ring holds, so the loopback
    // never loses one to a full ring.
    std::thread writer([&] {
        for (uint32_t n = 0; n < kFrames && !expired();) {
            if (n - read_count.load() >= kRing) {
                std::this_thread::yield();
                continue;
            }
            const auto frame = FrameNumber(n);
            const bool queued = SynchronizeExecution(sync, [&] {
                port.TransferBuffer = frame.data();
                port.TransferLength = static_cast<uint32_t>(frame.size());
                return WriteFrame(port);
            });
            n += queued ? 1 : 0;
            std::this_thread::yield();
        }
    });

    std::vector<uint8_t> buffer(2048);
    uint32_t mismatches = 0;
    while (read_count.load() < kFrames && !expired()) {
        // The buffer counts are read without the lock.
        EXPECT_LE(port.RxFramesWaiting.load(std::memory_order_relaxed), kRing);
        EXPECT_LE(port.TxFramesQueued.load(std::memory_order_relaxed), kRing);
        const bool taken = SynchronizeExecution(sync, [&] {
            port.ReadBuffer = buffer.data();
            port.ReadLength = static_cast<uint32_t>(buffer.size());
            return ReadFrame(port);
        });
        if (!taken) {
            std::this_thread::yield();
            continue;
        }
        const auto expected = FrameNumber(read_count.load());
        const std::vector<uint8_t> got(buffer.begin(), buffer.begin() + port.ReadLength);
        mismatches += got != expected;
        read_count.fetch_add(1);
    }
    writer.join();
    stop.store(true);
    interrupts.join();

    EXPECT_EQ(read_count.load(), kFrames);
    EXPECT_EQ(mismatches, 0u);
    EXPECT_EQ(port.TxFramesSent.load(), kFrames);
    EXPECT_EQ(port.RxFramesReceived.load(), kFrames);
    EXPECT_EQ(port.CrcErrors.load() + port.Overruns.load(), 0u);
}

}  // namespace
}  // namespace wyvel32::testing
