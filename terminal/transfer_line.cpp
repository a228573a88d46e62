#include "terminal/transfer_line.h"

#include <chrono>
#include <thread>

#include "portaccess/qorval_port.h"
#include "portaccess/tick_count.h"
#include "terminal/protocol.h"

namespace qorval::terminal {

uint32_t NowMs() {
    return qorval::GetTickCount();
}

uint32_t ElapsedSeconds(uint32_t start_ms) {
    return (NowMs() - start_ms) / 1000;
}

void SendCancelBytes(Qorval_Port& port) {
    for (int i = 0; i < kCancelBytes; ++i) {
        port.PutByte(kCan);
    }
}

void NothingArrived() {
    // A short run of empty looks only yields, so an answer on its way is seen at once; a
    // longer one naps between looks, which leaves the processor to the far end and lets the
    // scheduler wake this thread promptly when the answer comes.
    constexpr int kSpinLooks = 64;
    constexpr auto kStreakGap = std::chrono::microseconds(500);
    constexpr auto kNap = std::chrono::microseconds(20);
    thread_local int streak = 0;
    thread_local std::chrono::steady_clock::time_point last{};
    const auto now = std::chrono::steady_clock::now();
    if (now - last > kStreakGap) {
        streak = 0;
    }
    last = now;
    if (++streak < kSpinLooks) {
        std::this_thread::yield();
    } else {
        std::this_thread::sleep_for(kNap);
    }
}

uint32_t ReadByte(Qorval_Port& port, uint8_t& out, uint32_t seconds) {
    const uint32_t begin = NowMs();
    while (ElapsedSeconds(begin) < seconds && !port.Poll()) {
        NothingArrived();
    }
    return port.GetByte(out, 0);
}

uint32_t ReadBlock(Qorval_Port& port, uint8_t* buffer, uint32_t count, uint32_t& got,
                   uint32_t seconds) {
    const uint32_t begin = NowMs();
    got = 0;
    while (got < count) {
        uint32_t result = 0;
        if (port.Poll(result)) {
            if (port.GetByte(buffer[got], 0) == 0) {
                ++got;
            }
            continue;
        }
        if (result != 0) {
            return result;
        }
        if (ElapsedSeconds(begin) > seconds) {
            break;
        }
        NothingArrived();
    }
    return 0;
}

}  // namespace qorval::terminal
