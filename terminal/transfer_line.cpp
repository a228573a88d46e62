#include "terminal/transfer_line.h"

#include <algorithm>
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

void IdleWait::operator()() {
    if (std::chrono::steady_clock::now() - start_ < kSpinWindow) {
        std::this_thread::yield();
    } else {
        std::this_thread::sleep_for(kNap);
    }
}

uint32_t ReadByte(Qorval_Port& port, uint8_t& out, uint32_t seconds) {
    const uint32_t begin = NowMs();
    IdleWait idle;
    while (ElapsedSeconds(begin) < seconds && !port.Poll()) {
        idle();
    }
    return port.GetByte(out, 0);
}

uint32_t ReadBlock(Qorval_Port& port, uint8_t* buffer, uint32_t count, uint32_t& got,
                   uint32_t seconds) {
    const uint32_t begin = NowMs();
    IdleWait idle;
    got = 0;
    while (got < count) {
        uint32_t result = 0;
        if (port.Poll(result)) {
            // Whatever the frame in hand holds goes over at once, not a byte at a time.
            const uint32_t take = std::min(count - got, port.BytesWaiting());
            uint32_t copied = 0;
            (void)port.GetBlock(buffer + got, take, copied, 0);
            got += copied;
            continue;
        }
        if (result != 0) {
            return result;
        }
        if (ElapsedSeconds(begin) > seconds) {
            break;
        }
        idle();
    }
    return 0;
}

}  // namespace qorval::terminal
