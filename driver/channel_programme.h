#pragma once
// The board and channel set-up: presence, reset, board set-up with the checked channel
// programme, the line interface and TxC pin, and stopping the channel.

#include <cstdint>

#include "driver/ntstatus.h"
#include "driver/port_context.h"

namespace wyvel32 {

// Reads of board register 3 before a reset counts as not completing.
inline constexpr uint32_t kResetPolls = 65534;
inline constexpr uint32_t kResetSettleMicroseconds = 500;

// Board register 0 reads 0xFF when no board answers.
bool BoardPresent(PortContext& port);

// Resets the board and waits for it; STATUS_UNSUCCESSFUL when the reset never completes.
NTSTATUS ResetBoard(PortContext& port);

// Sets up the board's window and interrupt select and programs the channel. A failure leaves
// board register 0 at 0 (board disabled).
NTSTATUS SetupBoard(PortContext& port);

// Programs the channel for HDLC, reading back every register that holds what was written;
// the first difference gives STATUS_UNSUCCESSFUL.
NTSTATUS ProgramChannel(PortContext& port);

// Board register 5 := the interface code, keeping bits 7-5. An interface the board lacks gives
// STATUS_UNSUCCESSFUL and leaves the register untouched.
NTSTATUS SetLineInterface(PortContext& port);

// Drives or releases the TxC pin according to TXCMode (replacing an unset mode first).
NTSTATUS SetTxcPin(PortContext& port);

// Stops both DMA channels, disarms the interrupts and clocks, disables the board. Runs under
// the interrupt lock.
bool StopPort(PortContext& port);

// The board check made when the device starts: presence, reset, set-up, each failure logged
// with the I/O base as insertion string. STATUS_UNSUCCESSFUL on failure.
NTSTATUS StartTimeBoardCheck(PortContext& port);

}  // namespace wyvel32
