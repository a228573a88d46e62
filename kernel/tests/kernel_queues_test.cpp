// Start-I/O, cancel routines, cleanup and close, and many threads at once.

#include <thread>

#include "kernel/tests/kernel_fixture.h"

namespace qorval::kernel::testing {
namespace {

using KernelQueues = KernelTest;

std::vector<uint8_t> Bytes(uint32_t length) {
    return std::vector<uint8_t>(length, 0x5A);
}

TEST_F(KernelQueues, StartIoServesWritesInOrderOneAtATime) {
    const IoManager::Handle handle = OpenTest();
    Outcome held;
    kernel.Write(handle, Bytes(kHoldWrite), held.Callback());
    std::vector<std::unique_ptr<Outcome>> queued;
    for (uint32_t length = 1; length <= 2000; ++length) {
        queued.push_back(std::make_unique<Outcome>());
        kernel.Write(handle, Bytes(length), queued.back()->Callback());
    }
    EXPECT_FALSE(queued.front()->Done());  // behind the held write
    ReleaseHeldWrite(Device());
    ASSERT_TRUE(held.Wait());
    // The whole queue drains in one loop without deepening the stack per packet.
    for (auto& outcome : queued) {
        ASSERT_TRUE(outcome->Done());
    }
    std::lock_guard guard(Device().OrderLock);
    ASSERT_EQ(Device().WriteOrder.size(), 2000u);
    for (uint32_t i = 0; i < 2000; ++i) {
        ASSERT_EQ(Device().WriteOrder[i], i + 1);
    }
}

TEST_F(KernelQueues, CancelReachesCurrentAndQueuedPackets) {
    const IoManager::Handle handle = OpenTest();
    Outcome current, first, second;
    const auto currentId = kernel.Write(handle, Bytes(kHoldWrite), current.Callback());
    const auto firstId = kernel.Write(handle, Bytes(10), first.Callback());
    kernel.Write(handle, Bytes(20), second.Callback());

    EXPECT_TRUE(kernel.CancelRequest(handle, firstId));  // queued: taken off the queue
    ASSERT_TRUE(first.Done());
    EXPECT_EQ(first.Status(), STATUS_CANCELLED);
    EXPECT_FALSE(second.Done());

    EXPECT_TRUE(kernel.CancelRequest(handle, currentId));  // current: the next one starts
    ASSERT_TRUE(current.Done());
    EXPECT_EQ(current.Status(), STATUS_CANCELLED);
    ASSERT_TRUE(second.Done());
    EXPECT_EQ(second.Status(), STATUS_SUCCESS);
    EXPECT_FALSE(kernel.CancelRequest(handle, currentId));  // no longer outstanding
}

TEST_F(KernelQueues, CloseWaitsForOutstandingRequestsAfterCleanup) {
    const IoManager::Handle handle = OpenTest();
    Outcome read;
    kernel.Read(handle, 8, read.Callback());
    // Cleanup cancels the waiting read; only then does the close request go down.
    EXPECT_EQ(kernel.CloseHandle(handle), STATUS_SUCCESS);
    ASSERT_TRUE(read.Done());
    EXPECT_EQ(read.Status(), STATUS_CANCELLED);
    EXPECT_EQ(Device().Closes.load(), 1);
}

TEST_F(KernelQueues, CancelIoEndsEveryRequestOfADyingClient) {
    const IoManager::Handle handle = OpenTest();
    Outcome held, write, read;
    kernel.Write(handle, Bytes(kHoldWrite), held.Callback());
    kernel.Write(handle, Bytes(3), write.Callback());
    kernel.Read(handle, 8, read.Callback());
    kernel.CancelIo(handle);
    for (Outcome* outcome : {&held, &write, &read}) {
        ASSERT_TRUE(outcome->Done());
    }
    EXPECT_EQ(held.Status(), STATUS_CANCELLED);
    EXPECT_EQ(read.Status(), STATUS_CANCELLED);
    // The queued write either started when the held one went, or was cancelled first.
    EXPECT_TRUE(write.Status() == STATUS_SUCCESS || write.Status() == STATUS_CANCELLED);
    EXPECT_EQ(kernel.CloseHandle(handle), STATUS_SUCCESS);
}

// Threads submit, feed, cancel and close at once; every request must complete exactly once
// (the Outcome counts calls) and nothing may deadlock.
TEST_F(KernelQueues, ConcurrentSubmitCancelAndFeedCompleteEachRequestOnce) {
    const IoManager::Handle handle = OpenTest();
    constexpr int kPerThread = 300;
    std::vector<std::unique_ptr<Outcome>> outcomes(4 * kPerThread);
    for (auto& outcome : outcomes) {
        outcome = std::make_unique<Outcome>();
    }
    std::atomic<bool> submitting{true};
    std::vector<std::thread> threads;
    for (int t = 0; t < 2; ++t) {
        threads.emplace_back([&, t] {
            for (int i = 0; i < kPerThread; ++i) {
                Outcome& read = *outcomes[(2 * t) * kPerThread + i];
                Outcome& write = *outcomes[(2 * t + 1) * kPerThread + i];
                const auto readId = kernel.Read(handle, 4, read.Callback());
                kernel.Write(handle, Bytes(1 + i % 7), write.Callback());
                if (i % 3 == 0) {
                    kernel.CancelRequest(handle, readId);
                }
            }
        });
    }
    std::thread feeder([&] {
        while (submitting.load()) {
            FeedRead(Device(), {1, 2, 3, 4});
        }
    });
    for (auto& thread : threads) {
        thread.join();
    }
    submitting.store(false);
    feeder.join();
    kernel.CancelIo(handle);
    EXPECT_EQ(kernel.CloseHandle(handle), STATUS_SUCCESS);
    for (auto& outcome : outcomes) {
        ASSERT_EQ(outcome->Calls(), 1);
        const NTSTATUS status = outcome->Status();
        EXPECT_TRUE(status == STATUS_SUCCESS || status == STATUS_CANCELLED) << std::hex << status;
    }
}

}  // namespace
}  // namespace qorval::kernel::testing
