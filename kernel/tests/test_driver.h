#pragma once
// A small driver for exercising the kernel model on its own: reads wait on a cancellable
// list until the test feeds them, writes go through start-I/O, and a few control codes break
// the request rules on purpose so the verifier's checks can be seen to fire.

#include <atomic>
#include <mutex>
#include <vector>

#include "kernel/io_manager.h"

namespace qorval::kernel::testing {

inline constexpr uint32_t kEchoControl = 5;          // copies input to output, information 1000
inline constexpr uint32_t kCompleteTwice = 1;        // verifier: completed twice
inline constexpr uint32_t kPendingUnmarked = 2;      // verifier: pending not marked
inline constexpr uint32_t kNeitherCompleted = 3;     // verifier: not completed, not pending
inline constexpr uint32_t kCompleteWhileQueued = 4;  // verifier: completed while queued
inline constexpr uint32_t kHoldWrite = 5000;         // a write of this length stays current

inline constexpr const char* kTestDeviceName = "\\Device\\Test0";
inline constexpr const char* kTestLinkName = "\\DosDevices\\Test1";

struct TestDevice {
    DeviceObject* Self = nullptr;
    DeviceObject* Lower = nullptr;
    IrpList Reads;  // guarded by the system cancel lock
    std::mutex OrderLock;
    std::vector<uint32_t> WriteOrder;  // lengths, in the order start-I/O served them
    std::atomic<Irp*> HeldWrite{nullptr};
    std::atomic<Irp*> Stray{nullptr};  // the request kNeitherCompleted left behind
    std::atomic<int> Creates{0};
    std::atomic<int> Cleanups{0};
    std::atomic<int> Closes{0};
};

NTSTATUS TestDriverEntry(DriverObject* driver, const std::string& registry_path);

// Completes the oldest waiting read with `data`; false when none waits.
bool FeedRead(TestDevice& device, const std::vector<uint8_t>& data);
// Completes the held write and starts the next packet.
void ReleaseHeldWrite(TestDevice& device);

}  // namespace qorval::kernel::testing
