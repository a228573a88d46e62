// The line of the capture benchmarks: the in-process host's pair paced at 20 Mbit/s (Divisor 0
// with the 20 MHz oscillator, written to both port keys before the ports open) with port 2
// restarted on a receive ring of a chosen size, and the far end that puts 64-byte frames on it
// through the port access library, each as soon as a transmit buffer is free (as the tester's
// transmit worker does), or no sooner than its turn at a given frame rate.
#pragma once

#include <atomic>
#include <chrono>
#include <cstdint>
#include <thread>
#include <vector>

#include "host/server/control_commands.h"
#include "host/testing/in_process_host.h"
#include "portaccess/qorval32.h"

namespace qorval::bench {

constexpr uint32_t kFrameBytes = 64;
constexpr uint32_t kRxBufferSize = 128;  // a 64-byte frame and its check, with room to spare

// Paces the pair and gives port 2 `rxBuffers` receive buffers; the reason when it cannot.
inline const char* PaceLineAt20Mbps(host::testing::InProcessHost& host, uint32_t rxBuffers) {
    if (!host.Error().empty()) {
        return host.Error().c_str();
    }
    for (unsigned port : {1u, 2u}) {
        if (!host.SetPortValue(port, "Divisor", 0)) {
            return "cannot write the port key";
        }
    }
    // The receive ring is sized at device start: port 2 restarts with the ring asked for.
    if (!host.SetPortValue(2, "RxBuffers", rxBuffers) ||
        !host.SetPortValue(2, "RxBuffSize", kRxBufferSize) ||
        host::RunControlCommand(host.Host().bus(), "stop 2").rfind("ok", 0) != 0 ||
        host::RunControlCommand(host.Host().bus(), "start 2").rfind("ok", 0) != 0) {
        return "cannot restart port 2 with its new receive ring";
    }
    return nullptr;
}

// Sends `frames` frames at `perSecond` frames a second (0: as fast as the line takes them);
// counts those accepted.
inline void SendFrames(QORVAL_HANDLE handle, uint32_t frames, uint32_t perSecond,
                       std::atomic<uint32_t>& accepted) {
    using Clock = std::chrono::steady_clock;
    std::vector<uint8_t> frame(kFrameBytes);
    const auto start = Clock::now();
    for (uint32_t i = 0; i < frames; ++i) {
        if (perSecond != 0) {
            std::this_thread::sleep_until(
                start + std::chrono::microseconds(uint64_t{i} * 1'000'000 / perSecond));
        }
        frame[0] = static_cast<uint8_t>(i);
        uint16_t waiting = 0, free = 0;
        while (QORVAL_GetBufferCount(handle, &waiting, &free) == QORVAL_OK && free == 0) {
            std::this_thread::yield();
        }
        if (QORVAL_PutData(handle, frame.data(), kFrameBytes) == QORVAL_OK) {
            accepted.fetch_add(1, std::memory_order_relaxed);
        }
    }
}

}  // namespace qorval::bench
