#include "host/server/driver_questions.h"

#include <atomic>
#include <memory>

#include "driver/ioctl_codes.h"
#include "driver/ntstatus.h"

namespace qorval::host {

namespace {

// An answer that came later than the call would find nobody waiting for it and counts as none.
struct Answer {
    std::atomic<uint32_t> counts{0};
    std::atomic<bool> given{false};
};

}  // namespace

std::optional<uint32_t> AskBufferCount(kernel::IoManager& kernel,
                                       kernel::IoManager::Handle handle) {
    constexpr uint32_t kSize = wyvel32::kBufferCountSize;
    const auto answer = std::make_shared<Answer>();
    kernel.DeviceControl(
        handle, wyvel32::IOCTL_GET_BUFFER_COUNT, {}, kSize,
        [answer](kernel::NTSTATUS status, uint64_t information, std::span<const uint8_t> output) {
            if (status == wyvel32::STATUS_SUCCESS && information == kSize &&
                output.size() == kSize) {
                answer->counts.store(uint32_t{output[0]} | uint32_t{output[1]} << 8 |
                                     uint32_t{output[2]} << 16 | uint32_t{output[3]} << 24);
                answer->given.store(true, std::memory_order_release);
            }
        });
    if (!answer->given.load(std::memory_order_acquire)) {
        return std::nullopt;
    }
    return answer->counts.load();
}

bool DriverLetsAReadThrough(kernel::IoManager& kernel, kernel::IoManager::Handle handle) {
    const auto answer = std::make_shared<Answer>();
    kernel.Read(handle, 0, [answer](kernel::NTSTATUS status, uint64_t, std::span<const uint8_t>) {
        if (status == wyvel32::STATUS_SUCCESS) {
            answer->given.store(true, std::memory_order_release);
        }
    });
    return answer->given.load(std::memory_order_acquire);
}

}  // namespace qorval::host
