#include "terminal/transfer_line.h"

#include <algorithm>
#include <chrono>
#include <thread>

#include "portaccess/qorval_port.h"
#include "portaccess/tick_count.h"
#include "terminal/protocol.h"

namespace qorval::terminal {
namespace {

// The wrapper's own limit for a free transmit buffer: more than 5 whole seconds.
constexpr uint32_t kTxBufferWaitMs = 6000;
// All the CAN bytes of one burst together.
constexpr uint32_t kCancelBurstWaitMs = 1000;

// Waits for a free transmit buffer until `limit_ms` have passed since `start_ms`: 0 with the
// count in `free`, QP_NO_TX_BUFFER when the time is up (or, with `until_cancel`, when the
// transfer is cancelled), or the library's result when the count fails.
uint32_t AwaitTxBuffer(Qorval_Port& port, const TransferUi& ui, uint32_t start_ms,
                       uint32_t limit_ms, bool until_cancel, uint16_t& free) {
    IdleWait idle;
    for (;;) {
        uint16_t waiting = 0;
        free = 0;
        const uint32_t result = QORVAL_GetBufferCount(port.GetHandle(), &waiting, &free);
        if (result != 0) {
            (void)ui.PortGone(result);
            return result;
        }
        if (free != 0) {
            return 0;
        }
        if (NowMs() - start_ms >= limit_ms) {
            return QP_NO_TX_BUFFER;
        }
        ui.Dispatch();
        if (until_cancel && ui.Cancelled()) {
            return QP_NO_TX_BUFFER;
        }
        idle();
    }
}

}  // namespace

uint32_t NowMs() {
    return qorval::GetTickCount();
}

uint32_t ElapsedSeconds(uint32_t start_ms) {
    return (NowMs() - start_ms) / 1000;
}

void IdleWait::operator()() {
    if (std::chrono::steady_clock::now() - start_ < kSpinWindow) {
        std::this_thread::yield();
    } else {
        std::this_thread::sleep_for(kNap);
    }
}

bool Arrived(Qorval_Port& port, const TransferUi& ui) {
    uint32_t result = 0;
    if (port.Poll(result)) {
        return true;
    }
    (void)ui.PortGone(result);
    return false;
}

uint32_t PutBytes(Qorval_Port& port, const TransferUi& ui, const uint8_t* data, uint32_t length) {
    const uint32_t result = port.PutBlock(data, length, [&](uint16_t& free) {
        return AwaitTxBuffer(port, ui, NowMs(), kTxBufferWaitMs, true, free);
    });
    (void)ui.PortGone(result);
    return result;
}

uint32_t PutByte(Qorval_Port& port, const TransferUi& ui, uint8_t byte) {
    return PutBytes(port, ui, &byte, 1);
}

void SendCancelBytes(Qorval_Port& port, const TransferUi& ui) {
    const uint32_t start = NowMs();
    const auto wait = [&](uint16_t& free) {
        return AwaitTxBuffer(port, ui, start, kCancelBurstWaitMs, false, free);
    };
    for (int i = 0; i < kCancelBytes; ++i) {
        const uint32_t result = port.PutBlock(&kCan, 1, wait);
        if (result != 0) {
            (void)ui.PortGone(result);
            return;  // no buffer within the burst's second, or the port has gone
        }
    }
}

uint32_t ReadByte(Qorval_Port& port, const TransferUi& ui, uint8_t& out, uint32_t seconds) {
    const uint32_t begin = NowMs();
    IdleWait idle;
    while (ElapsedSeconds(begin) < seconds && !Arrived(port, ui)) {
        ui.Dispatch();
        if (ui.Cancelled()) {
            break;
        }
        idle();
    }
    return port.GetByte(out, 0);
}

uint32_t ReadBlock(Qorval_Port& port, const TransferUi& ui, uint8_t* buffer, uint32_t count,
                   uint32_t& got, uint32_t seconds) {
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
            (void)ui.PortGone(result);
            return result;
        }
        if (ElapsedSeconds(begin) > seconds) {
            break;
        }
        ui.Dispatch();
        if (ui.Cancelled()) {
            break;
        }
        idle();
    }
    return 0;
}

uint32_t PurgeLine(Qorval_Port& port, const TransferUi& ui, uint32_t limit_seconds) {
    const uint32_t start = NowMs();
    uint32_t last_data = start;
    IdleWait idle;
    while (ElapsedSeconds(start) < limit_seconds) {
        if (Arrived(port, ui)) {
            port.DiscardInput();
            last_data = NowMs();
            continue;
        }
        if (ElapsedSeconds(last_data) >= 1) {
            break;  // one full quiet second
        }
        ui.Dispatch();
        if (ui.Cancelled()) {
            return 0;
        }
        idle();
    }
    uint32_t result = 0;
    if (port.Poll(result)) {
        return QP_LINE_BUSY;
    }
    (void)ui.PortGone(result);
    return result;
}

}  // namespace qorval::terminal
