#pragma once
// A kernel model with the test driver loaded and one started function, plus helpers that
// wait for a request's completion.

#include <gtest/gtest.h>

#include <condition_variable>
#include <mutex>
#include <optional>

#include "kernel/io_manager.h"
#include "kernel/tests/test_driver.h"
#include "kernel/verifier.h"

namespace qorval::kernel::testing {

// The outcome of one request, filled in by its completion callback.
class Outcome {
  public:
    IoManager::Completion Callback() {
        return [this](NTSTATUS status, uint64_t information, std::span<const uint8_t> output) {
            std::lock_guard guard(m_lock);
            ++m_calls;
            m_status = status;
            m_information = information;
            m_output.assign(output.begin(), output.end());
            m_done.notify_all();
        };
    }
    // Waits (with a generous bound) for the completion.
    bool Wait() {
        std::unique_lock lock(m_lock);
        return m_done.wait_for(lock, std::chrono::seconds(20), [this] { return m_calls > 0; });
    }
    bool Done() {
        std::lock_guard guard(m_lock);
        return m_calls > 0;
    }
    int Calls() {
        std::lock_guard guard(m_lock);
        return m_calls;
    }
    NTSTATUS Status() {
        std::lock_guard guard(m_lock);
        return m_status;
    }
    uint64_t Information() {
        std::lock_guard guard(m_lock);
        return m_information;
    }
    std::vector<uint8_t> Output() {
        std::lock_guard guard(m_lock);
        return m_output;
    }

  private:
    std::mutex m_lock;
    std::condition_variable m_done;
    int m_calls = 0;
    NTSTATUS m_status = 0;
    uint64_t m_information = 0;
    std::vector<uint8_t> m_output;
};

// Records verifier violations instead of failing, for the tests that provoke them.
class ViolationRecorder {
  public:
    ViolationRecorder() {
        m_previous = Verifier::SetHandler([this](const std::string& message) {
            std::lock_guard guard(m_lock);
            m_messages.push_back(message);
        });
    }
    ~ViolationRecorder() { Verifier::SetHandler(m_previous); }
    std::vector<std::string> Messages() {
        std::lock_guard guard(m_lock);
        return m_messages;
    }

  private:
    ViolationHandler m_previous;
    std::mutex m_lock;
    std::vector<std::string> m_messages;
};

class KernelTest : public ::testing::Test {
  protected:
    void SetUp() override {
        ASSERT_EQ(kernel.LoadDriver("Test", TestDriverEntry, "\\Registry\\Test"), STATUS_SUCCESS);
        ASSERT_EQ(kernel.AddPhysicalDevice(PhysicalDeviceInfo{}, &function), STATUS_SUCCESS);
        ASSERT_EQ(kernel.StartDevice(function), STATUS_SUCCESS);
    }
    TestDevice& Device() {
        return *static_cast<TestDevice*>(kernel.TopDevice(function)->DeviceExtension);
    }
    IoManager::Handle OpenTest(uint32_t options = 0) {
        IoManager::Handle handle = 0;
        EXPECT_EQ(kernel.Open(kTestLinkName, options, &handle), STATUS_SUCCESS);
        return handle;
    }

    IoManager kernel;
    IoManager::DeviceId function = 0;
};

}  // namespace qorval::kernel::testing
