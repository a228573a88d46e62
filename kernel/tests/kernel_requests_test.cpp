// Handles, names, request records and the verifier's checks.

#include "kernel/tests/kernel_fixture.h"

namespace qorval::kernel::testing {
namespace {

using KernelRequests = KernelTest;

TEST_F(KernelRequests, LinkNameFormsOpenTheSameExclusiveDevice) {
    IoManager::Handle first = 0;
    ASSERT_EQ(kernel.Open("\\\\.\\TEST1", 0, &first), STATUS_SUCCESS);
    EXPECT_NE(first, 0u);
    // One handle at a time: every other name form is refused while it is open.
    for (const char* name : {kTestLinkName, "\\??\\Test1", kTestDeviceName}) {
        IoManager::Handle other = 0;
        EXPECT_EQ(kernel.Open(name, 0, &other), STATUS_ACCESS_DENIED) << name;
        EXPECT_EQ(other, 0u);
    }
    EXPECT_EQ(kernel.CloseHandle(first), STATUS_SUCCESS);
    EXPECT_EQ(kernel.CloseHandle(first), STATUS_INVALID_HANDLE);
    IoManager::Handle again = 0;
    EXPECT_EQ(kernel.Open(kTestLinkName, 0, &again), STATUS_SUCCESS);
    EXPECT_EQ(Device().Creates.load(), 2);
    EXPECT_EQ(Device().Cleanups.load(), 1);
    EXPECT_EQ(Device().Closes.load(), 1);
}

TEST_F(KernelRequests, UnknownNamesAndHandlesAreRefused) {
    IoManager::Handle handle = 0;
    EXPECT_EQ(kernel.Open("\\DosDevices\\Nothing", 0, &handle), STATUS_OBJECT_NAME_NOT_FOUND);
    Outcome outcome;
    EXPECT_EQ(kernel.Read(42, 10, outcome.Callback()), 0u);
    ASSERT_TRUE(outcome.Done());
    EXPECT_EQ(outcome.Status(), STATUS_INVALID_HANDLE);
}

TEST_F(KernelRequests, OutputIsClampedToTheOutputLength) {
    const IoManager::Handle handle = OpenTest();
    const std::vector<uint8_t> input{1, 2, 3, 4, 5, 6};
    Outcome outcome;
    kernel.DeviceControl(handle, kEchoControl, input, 4, outcome.Callback());
    ASSERT_TRUE(outcome.Wait());
    EXPECT_EQ(outcome.Information(), 1000u);  // what the driver claimed
    EXPECT_EQ(outcome.Output(), (std::vector<uint8_t>{1, 2, 3, 4}));
}

TEST_F(KernelRequests, VerifierReportsEachBrokenRule) {
    const IoManager::Handle handle = OpenTest();
    struct Case {
        uint32_t code;
        const char* expected;
    };
    const Case cases[] = {
        {kCompleteTwice, "completed twice"},
        {kPendingUnmarked, "did not mark pending"},
        {kNeitherCompleted, "neither completed nor marked pending"},
        {kCompleteWhileQueued, "completed while still queued"},
    };
    for (const Case& c : cases) {
        ViolationRecorder recorder;
        Outcome outcome;
        kernel.DeviceControl(handle, c.code, {}, 0, outcome.Callback());
        const auto messages = recorder.Messages();
        ASSERT_FALSE(messages.empty()) << c.expected;
        EXPECT_NE(messages.front().find(c.expected), std::string::npos) << messages.front();
        if (Irp* stray = Device().Stray.exchange(nullptr)) {
            EXPECT_FALSE(outcome.Done());
            IoCompleteRequest(stray);  // late, so the handle can close
        }
        EXPECT_EQ(outcome.Calls(), 1) << c.expected;  // a second completion never reaches us
    }
}

TEST_F(KernelRequests, ReadsWaitUntilFedAndCarryTheirData) {
    const IoManager::Handle handle = OpenTest();
    Outcome outcome;
    kernel.Read(handle, 3, outcome.Callback());
    EXPECT_FALSE(outcome.Done());
    EXPECT_EQ(kernel.OutstandingRequests(handle), 1u);
    ASSERT_TRUE(FeedRead(Device(), {7, 8, 9, 10}));
    ASSERT_TRUE(outcome.Done());
    EXPECT_EQ(outcome.Status(), STATUS_SUCCESS);
    EXPECT_EQ(outcome.Output(), (std::vector<uint8_t>{7, 8, 9}));
    EXPECT_EQ(kernel.OutstandingRequests(handle), 0u);
}

}  // namespace
}  // namespace qorval::kernel::testing
