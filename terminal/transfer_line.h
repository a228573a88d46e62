#pragma once
// Small helpers the sender and the receiver share: whole-second timing and the CAN burst.

#include <cstdint>

class Qorval_Port;

namespace qorval::terminal {

enum class TransferOutcome { Succeeded, Failed, Cancelled };

// Whole seconds since `start_ms` of the tick count (integer division, right across the wrap).
uint32_t ElapsedSeconds(uint32_t start_ms);
uint32_t NowMs();
// Sends eight CAN bytes, one frame each, which makes the far end give up.
void SendCancelBytes(Qorval_Port& port);
// GetByte and GetBlock of the port, with the same results and limits, but waiting through
// NothingArrived so that a transfer does not spin against the far end on a busy machine.
uint32_t ReadByte(Qorval_Port& port, uint8_t& out, uint32_t seconds);
uint32_t ReadBlock(Qorval_Port& port, uint8_t* buffer, uint32_t count, uint32_t& got,
                   uint32_t seconds);

// Called in waits that found nothing to read: gives the processor to other work without
// sleeping, so a virtual clock keeps its pace.
void NothingArrived();

}  // namespace qorval::terminal
