#pragma once
// The line as a transfer uses it: whole-second timing, and the reads, writes and waits the
// sender and the receiver share.
//
// Every wait here looks at the port, and between looks dispatches the window's pending messages
// and ends as soon as the cancel flag is set: by the user's Cancel, or by the transfer's
// PortWatch when a request failed because the port has gone (every failed request below is
// shown to it). So a wait never holds the window or a Cancel for longer than one look at the
// port, and a transfer whose port has gone stops at once instead of running out its timeouts.

#include <chrono>
#include <cstdint>

#include "terminal/user_interface.h"

class Qorval_Port;

namespace qorval::terminal {

enum class TransferOutcome { Succeeded, Failed, Cancelled };

// Whole seconds since `start_ms` of the tick count (integer division, right across the wrap).
uint32_t ElapsedSeconds(uint32_t start_ms);
uint32_t NowMs();

// Whether received bytes are waiting (a frame is read when none are buffered).
bool Arrived(Qorval_Port& port, const TransferUi& ui);
// GetByte and GetBlock of the port, with the same results and limits, but waiting through an
// IdleWait so that a transfer does not spin against the far end on a busy machine. A cancel
// ends the wait early, as if the time were up.
uint32_t ReadByte(Qorval_Port& port, const TransferUi& ui, uint8_t& out, uint32_t seconds);
uint32_t ReadBlock(Qorval_Port& port, const TransferUi& ui, uint8_t* buffer, uint32_t count,
                   uint32_t& got, uint32_t seconds);
// Purge of the port: takes what arrives until one full quiet second or `limit_seconds`;
// QP_LINE_BUSY when data was still arriving at the end. A cancel ends it with 0.
uint32_t PurgeLine(Qorval_Port& port, const TransferUi& ui, uint32_t limit_seconds);

// PutBlock and PutByte of the port: each frame waits up to 5 seconds for a free transmit buffer
// (QP_NO_TX_BUFFER after that, and also when cancelled meanwhile).
uint32_t PutBytes(Qorval_Port& port, const TransferUi& ui, const uint8_t* data, uint32_t length);
uint32_t PutByte(Qorval_Port& port, const TransferUi& ui, uint8_t byte);
// Sends eight CAN bytes, one frame each, which makes the far end give up. They go because the
// transfer ends, usually after a Cancel, so the cancel flag does not stop them; instead the
// eight together wait no more than a second for transmit buffers.
void SendCancelBytes(Qorval_Port& port, const TransferUi& ui);

// Paces one wait for the far end; called each time the wait found nothing to read. For the
// first kSpinWindow of the wait it only yields, so an answer on its way (an ACK, the next
// block: well under a millisecond at 20 Mbit/s) is seen at once; after that it naps between
// looks, which leaves the processor to the far end, often a program on the same machine.
// One object per wait: a wait that starts afresh spins afresh.
class IdleWait {
  public:
    static constexpr std::chrono::microseconds kSpinWindow{2000};
    static constexpr std::chrono::microseconds kNap{20};

    void operator()();

  private:
    std::chrono::steady_clock::time_point start_ = std::chrono::steady_clock::now();
};

}  // namespace qorval::terminal
