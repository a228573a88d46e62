#pragma once
// The simulated card: one IUSC channel, its board registers and 256 KB of card memory, seen by
// the driver through wyvel32::Hardware. The model answers every register access as the chip
// and the board do, records a trace of register accesses, counts guest errors (odd things the
// driver did) instead of aborting, and lets tests inject faults by name.
//
// Not thread-safe: one caller at a time. The driver makes every access under its port's
// interrupt lock; whoever steps the card's clock must hold the same lock.

#include <cstdint>
#include <functional>
#include <map>
#include <span>
#include <string>
#include <vector>

#include "driver/hardware.h"
#include "sim/iusc_registers.h"
#include "sim/iusc_state.h"

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

    // Modem lines.
    void SetModemInputs(const ModemInputs& inputs);
    ModemInputs GetModemInputs() const { return inputs_; }
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

    // Engines (dma_engine.cpp, serial_engine.cpp).
    void DmaCommand(uint8_t command, bool receive);
    void PurgeReceiver();
    void Kick();  // lets the engines act on a register change at the current time
    void OnChipReset();
    void ClearLineFaults();
    void AdvanceTo(uint64_t time_ns);

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

    ModemInputs inputs_;
    bool port4_input_ = false;
    std::function<void()> output_lines_changed_;

    bool irq_line_ = false;
    uint64_t now_ns_ = 0;

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
