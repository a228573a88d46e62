#pragma once
// Small helpers the sender and the receiver share: whole-second timing and the CAN burst.

#include <chrono>
#include <cstdint>

class Qorval_Port;

namespace qorval::terminal {

enum class TransferOutcome { Succeeded, Failed, Cancelled };

// Whole seconds since `start_ms` of the tick count (integer division, right across the wrap).
uint32_t ElapsedSeconds(uint32_t start_ms);
uint32_t NowMs();
// Sends eight CAN bytes, one frame each, which makes the far end give up.
void SendCancelBytes(Qorval_Port& port);
// GetByte and GetBlock of the port, with the same results and limits, but waiting through an
// IdleWait so that a transfer does not spin against the far end on a busy machine.
uint32_t ReadByte(Qorval_Port& port, uint8_t& out, uint32_t seconds);
uint32_t ReadBlock(Qorval_Port& port, uint8_t* buffer, uint32_t count, uint32_t& got,
                   uint32_t seconds);

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
