#pragma once
// The simulated card: one IUSC channel, its board registers and 256 KB of card memory, seen by
// the driver through wyvel32::Hardware. The model answers every register access as the chip
// and the board do, records a trace of register accesses, counts guest errors (odd things the
// driver did) instead of aborting, and lets tests inject faults by name.
//
// One caller at a time per card: the driver makes every access under its port's interrupt
// lock, and whoever steps the card's clock must hold the same lock. What crosses from one card
// to another on a line (frames, modem lines) goes through Receive() and DriveInputsFrom(),
// which are safe to call while another thread holds the receiving card's lock.

#include <atomic>
#include <cstdint>
#include <deque>
#include <functional>
#include <map>
#include <mutex>
#include <span>
#include <string>
#include <vector>

#include "driver/hardware.h"
#include "sim/iusc_registers.h"
#include "sim/iusc_state.h"
#include "sim/line_frame.h"
#include "sim/line_timing.h"

namespace qorval::sim {

struct Access {  // one access in the trace
    enum class Kind { BoardRead, BoardWrite, RegRead8, RegWrite8, RegRead16, RegWrite16 };
    Kind kind;
    uint8_t offset;
    uint16_t value;
};

// "W16 REG 0x82 0x0606 CMR", "R8 IO 0x03 0x10", "W8 REG 0xA5 0x70 RCSR".
std::string FormatAccess(const Access&);

// Modem input lines as the far end or a test drives them (true = asserted).
struct ModemInputs {
    bool dsr = false;
    bool dcd = false;
    bool cts = false;
    bool ri = false;
};

// Modem output lines as the channel drives them (true = asserted).
struct ModemOutputs {
    bool dtr = false;
    bool rts = false;
};

// What the channel has done, for tests and the line's statistics.
struct ChannelStatistics {
    uint64_t frames_sent = 0;               // frames whose closing flag left the transmitter
    uint64_t frames_received = 0;           // frames stored by receive DMA (errors included)
    uint64_t frames_lost_no_dma = 0;        // arrived while receive DMA was stopped or ran dry
    uint64_t frames_lost_receiver_off = 0;  // arrived while the receiver was not enabled
    uint64_t frames_filtered = 0;           // not addressed to this station (address search)
    uint64_t frames_aborted = 0;            // arrived ended by an abort
    uint64_t frames_lost_coding = 0;        // sent with a line coding other than the receiver's
};

// What the transmitter sends between frames: TCSR bits 10-8, or the TxD pin held at mark.
enum class IdleLine {
    Flags = 0,
    AlternatingOneZero = 1,
    Zeros = 2,
    Ones = 3,
    AlternatingMarkSpace = 5,
    Space = 6,
    Mark = 7,
    HeldMark = 8,
};

inline constexpr size_t kCardMemoryBytes = 256 * 1024;
inline constexpr uint16_t kWindowBytes = 0x4000;

class SimCard : public wyvel32::Hardware {
  public:
    SimCard();

    // wyvel32::Hardware
    uint8_t ReadBoard(uint8_t offset) override;
    void WriteBoard(uint8_t offset, uint8_t value) override;
    uint8_t ReadReg8(uint8_t offset) override;
    void WriteReg8(uint8_t offset, uint8_t value) override;
    uint16_t ReadReg16(uint8_t offset) override;
    void WriteReg16(uint8_t offset, uint16_t value) override;
    uint16_t ReadWindow16(uint16_t offset) override;
    void WriteWindow16(uint16_t offset, uint16_t value) override;
    uint32_t ReadWindow32(uint16_t offset) override;
    void WriteWindow32(uint16_t offset, uint32_t value) override;
    void ReadWindowWords(uint16_t offset, uint8_t* host, size_t words) override;
    void WriteWindowWords(uint16_t offset, const uint8_t* host, size_t words) override;
    void ReadWindowBytes(uint16_t offset, uint8_t* host, size_t bytes) override;
    void WriteWindowBytes(uint16_t offset, const uint8_t* host, size_t bytes) override;
    void StallMicroseconds(uint32_t microseconds) override;

    // Fault injection, named and explicit.
    void InjectBoardAbsent(bool absent);         // every read gives all ones, writes vanish
    void InjectResetNeverCompletes(bool never);  // board register 3 bit 4 never sets
    void InjectStuckRegBits(uint8_t offset, uint16_t mask, uint16_t value);
    void InjectStuckBoardBits(uint8_t offset, uint8_t mask, uint8_t value);
    void ClearFaults();
    // Number of reads of board register 3 after a reset before bit 4 reads 1 (0: at once).
    void SetResetReadsToComplete(unsigned reads);

    // Trace of every board and IUSC register access, in order (not card-memory accesses).
    void EnableTrace(bool on);
    const std::vector<Access>& Trace() const;
    void ClearTrace();

    // Guest errors: accesses the hardware would not decode or that make no sense to it.
    uint64_t GuestErrorCount() const { return guest_error_count_; }
    const std::vector<std::string>& GuestErrors() const { return guest_errors_; }

    // Inspection for tests, outside the trace and without side effects.
    uint16_t PeekReg16(uint8_t offset) const;
    uint8_t PeekBoard(uint8_t offset) const;
    std::span<uint8_t> CardMemory();
    uint64_t NowNanoseconds() const;
    bool InterruptAsserted() const { return irq_line_; }

    // Virtual time. The card's clock only moves when asked: Advance() and RunUntilIdle() step
    // it and call the interrupt handler whenever the line is asserted after something
    // happened; StallMicroseconds() (the driver busy-waiting) moves it without calling the
    // handler, since the driver stalls while holding its interrupt lock. A card on a Line is
    // stepped through the Line, which keeps both ends in step.
    void Advance(uint64_t nanoseconds);
    bool RunUntilIdle(uint64_t limit_nanoseconds);  // false: still busy at the limit
    uint64_t NextEventTime() const;                 // kNever when nothing is scheduled
    void StepTo(uint64_t time_ns, bool notify);
    static constexpr uint64_t kNever = UINT64_MAX;
    // Called (never nested) when the interrupt line is asserted after a step; normally the
    // driver's interrupt service routine.
    void SetInterruptHandler(std::function<void()> handler);

    // Receive time stamps: the card notes, in the receive entry a frame ended in, the card time
    // at which the frame's closing flag arrived, and reports that time when the host gives the
    // entry back (a write that leaves its count word non-zero): the frame has been taken out
    // of card memory, or thrown away when the host builds its list afresh. Entries given back
    // without a frame ending in them (a buffer the frame only filled) and entries after a
    // board reset report nothing. Called under the card's lock, on the thread that made the
    // write.
    void SetFrameTakenHandler(std::function<void(uint64_t arrival_ns)> handler);
    // The present instant in card time, for a card stepped in real time. When set, a frame the
    // driver starts on an idle transmitter starts at this instant rather than at the card's
    // last step, which may lie a while back (nothing was due); back-to-back frames still follow
    // each other without a gap.
    void SetPresentTime(std::function<uint64_t()> present);

    // The line side of the channel.
    void SetTransmitSink(std::function<void(const LineFrame&)> sink);  // frames sent
    void Receive(LineFrame frame);  // a frame arriving; handled when the clock reaches end_ns
    void SetClocked(bool clocked);  // false (default): frames take no time on the line
    void SetClockInputs(const ClockInputs& clocks);
    double TransmitBitRate() const;  // bits per second the clock programme gives, 0: no clock
    // How long the transmitter would keep the line busy with a frame of these bytes under the
    // current programme (preamble, flags, frame check, bit stuffing); 0 on a line that is not
    // clocked or has no clock.
    uint64_t FrameNanosecondsOnLine(std::span<const uint8_t> data) const;
    IdleLine LineIdle() const;
    const ChannelStatistics& Statistics() const { return stats_; }

    // Line faults, each for the given number of frames from now.
    void InjectReceiveOverrun(unsigned frames);    // the receiver loses the second half
    void InjectReceiveCrcError(unsigned frames);   // one bit of the frame arrives flipped
    void InjectTransmitUnderrun(unsigned frames);  // the frame is cut short by an underrun
    void InjectTransmitAbort(unsigned frames);     // the frame is ended by an abort

    // Modem lines.
    void SetModemInputs(const ModemInputs& inputs);
    ModemInputs GetModemInputs() const;
    // The far end's outputs as a null-modem cable presents them: DTR to DSR and DCD, RTS to
    // CTS; RI is left as it was.
    void DriveInputsFrom(const ModemOutputs& far_end);
    ModemOutputs GetModemOutputs() const;
    void SetPort4Input(bool asserted);
    // Called whenever DTR or RTS changes (the line uses it to drive the far end's inputs).
    void SetOutputLinesChangedHandler(std::function<void()> handler);

  private:
    // Board side.
    void ResetBoard();
    uint8_t BoardReadValue(uint8_t offset) const;
    size_t ResolveWindow(uint16_t offset, size_t length, const char* what, uint32_t* address);
    void WindowRead(uint16_t offset, uint8_t* host, size_t length, const char* what);
    void WindowWrite(uint16_t offset, const uint8_t* host, size_t length, const char* what);
    // Reports the stamps of receive entries whose count word the write at card `address` gave
    // back (SetFrameTakenHandler).
    void NoteEntriesGivenBack(uint32_t address, size_t length);

    // IUSC window (iusc_window.cpp).
    uint16_t ComposeRead16(uint8_t offset) const;  // what a read returns, no side effects
    void AfterRead16(uint8_t offset);              // side effects of a read (status clears)
    void Write16(uint8_t offset, uint16_t value, uint16_t byte_mask);
    void WriteCcar(uint16_t value, uint16_t byte_mask);
    void WriteDcar(uint16_t value);
    void WriteDccr(uint16_t value, uint16_t byte_mask);
    void WriteCsr(bool receive, uint16_t value, uint16_t byte_mask);
    void WriteIcr(bool receive, uint16_t value, uint16_t byte_mask);
    void WritePcr(uint16_t value, uint16_t byte_mask);
    bool IuscDecodes(uint8_t offset, bool write);
    uint16_t ApplyStuckReg(uint8_t offset, uint16_t value) const;
    uint8_t LevelRead(bool receive) const;
    uint16_t PortStatus() const;
    uint16_t MiscStatus() const;
    void NotifyOutputChange(const ModemOutputs& before);  // latches and tells the line

    // DMA (dma_engine.cpp).
    struct ListEntry {  // a 16-byte list entry, converted from little-endian at the boundary
        uint32_t buffer;
        uint16_t count;
        uint16_t status;
        uint16_t receive_count;
        uint16_t spare;
        uint32_t link;
    };
    void DmaCommand(uint8_t command, bool receive);
    void InitialiseDma(bool receive);
    void PauseDma(bool receive);
    bool ReadEntry(uint32_t address, ListEntry* entry);
    void WriteEntryWord(uint32_t entry, unsigned field, uint16_t value);
    bool FetchBuffer(bool receive);
    void EndOfList(bool receive);
    void DmaStatus(bool receive, uint8_t bits);
    void CloseReceiveBuffer(uint16_t status, uint32_t counted);
    bool StoreFrame(const std::vector<uint8_t>& bytes, uint16_t status);
    // Receive entries in which a frame ended and that the host has not given back yet: entry
    // address -> card time of the frame's closing flag.
    std::map<uint32_t, uint64_t> rx_frame_ends_;
    std::function<void(uint64_t)> frame_taken_;

    // Serial engines (serial_engine.cpp).
    void PurgeReceiver();
    void Kick();  // lets the engines act on a register change at the current time
    void OnChipReset();
    void ClearLineFaults();
    void TryStartTransmit(uint64_t start_ns);
    // The bytes as the transmitter puts them on the line: bit order applied, frame check added.
    LineFrame TransmitFrameOf(std::span<const uint8_t> data) const;
    void FinishTransmit();
    void CutOffTransmit();
    void Deliver(const LineFrame& frame);
    void ProcessArrival(LineFrame frame);
    bool ProcessOneEvent(uint64_t limit_ns);
    void NotifyInterrupt();

    // Interrupt line: computed here and only here, after every change of state.
    void UpdateInterrupt();
    void RaiseReceiveStatus(uint16_t rcsr_bits);
    void RaiseTransmitStatus(uint16_t tcsr_bits);
    void RaiseStatus(uint16_t& status, uint8_t arms, uint8_t pending_bit, uint16_t bits);

    void GuestError(std::string message);
    static std::string Describe(const char* what, unsigned value, const char* tail = "");
    void Record(Access::Kind kind, uint8_t offset, uint16_t value);

    // Board registers 0-5 as written (register 3 is not held: it reads status).
    uint8_t board_[board::kCount] = {};
    bool reset_done_ = true;  // a powered board has finished its power-on reset
    unsigned reset_reads_left_ = 0;
    unsigned reset_reads_to_complete_ = 2;  // a reset takes a couple of polls, as on the card

    IuscState chip_;
    std::vector<uint8_t> memory_;  // 256 KB of card memory, zero at power-on

    // MISR's input pins and their change latches, in MISR bit positions. Atomic because the far
    // card on a line drives them from its own thread.
    std::atomic<uint16_t> misr_pins_{0};
    void UpdateInputPins(uint16_t mask, uint16_t state);
    bool port4_input_ = false;
    std::function<void()> output_lines_changed_;

    bool irq_line_ = false;
    uint64_t now_ns_ = 0;
    std::function<void()> interrupt_handler_;
    bool in_handler_ = false;

    // Serial side: the frame on the line, frames arriving, clocks.
    bool tx_active_ = false;
    LineFrame tx_frame_;
    uint16_t tx_fault_status_ = 0;    // TCSR status the frame in flight ends with
    std::deque<LineFrame> rx_queue_;  // in order of end time
    mutable std::mutex inbox_lock_;   // guards inbox_: frames handed over by the line
    std::vector<LineFrame> inbox_;
    void DrainInbox();
    uint64_t NextLocalEventTime() const;  // without frames still in the inbox
    std::function<void(const LineFrame&)> transmit_sink_;
    std::function<uint64_t()> present_;
    bool clocked_ = false;
    ClockInputs clocks_;
    ChannelStatistics stats_;
    unsigned rx_overruns_to_inject_ = 0;
    unsigned rx_crc_errors_to_inject_ = 0;
    unsigned tx_underruns_to_inject_ = 0;
    unsigned tx_aborts_to_inject_ = 0;

    // Faults.
    bool board_absent_ = false;
    bool reset_never_completes_ = false;
    std::map<uint8_t, std::pair<uint16_t, uint16_t>> stuck_regs_;  // even offset -> mask, value
    std::map<uint8_t, std::pair<uint8_t, uint8_t>> stuck_board_;

    bool trace_on_ = false;
    std::vector<Access> trace_;
    uint64_t guest_error_count_ = 0;
    std::vector<std::string> guest_errors_;  // the first kMaxGuestErrorMessages messages
};

}  // namespace qorval::sim
