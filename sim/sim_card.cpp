// The board side of the simulated card: board registers, reset, the paged card-memory window,
// the interrupt line, modem pins, fault injection, the access trace and guest errors.

#include "sim/sim_card.h"

#include <cstdio>
#include <cstring>

#include "sim/iusc_registers.h"

namespace qorval::sim {
namespace {

constexpr size_t kMaxGuestErrorMessages = 200;  // the count goes on; the list stops growing

}  // namespace

SimCard::SimCard() : memory_(kCardMemoryBytes, 0) {
    // A powered board: board registers 0-5 read 0 (board disabled, no host access, page 0),
    // the power-on reset has completed and the chip holds its reset values.
    UpdateInterrupt();
}

// ---- Board registers ----

void SimCard::ResetBoard() {
    // The board reset clears the control, window and set-up latches and resets the IUSC. The
    // line interface latch (register 5) belongs to the line drivers and keeps its value.
    board_[board::kControl] = 0;
    board_[board::kWindowSelect] = 0;
    board_[board::kSetup] = 0;
    board_[board::kPciSetup] = 0;
    const ModemOutputs before = GetModemOutputs();
    chip_ = IuscState{};
    rx_frame_ends_.clear();  // the lists are built afresh after a reset
    misr_pins_.fetch_and(static_cast<uint16_t>(~reg::kMisrLatchMask), std::memory_order_relaxed);
    OnChipReset();
    reset_done_ = false;
    reset_reads_left_ = reset_reads_to_complete_;
    UpdateInterrupt();
    NotifyOutputChange(before);
}

uint8_t SimCard::BoardReadValue(uint8_t offset) const {
    if (offset == board::kReset) {
        return (reset_done_ ? board::kResetDone : 0) | (irq_line_ ? 0 : board::kNoInterrupt);
    }
    return board_[offset];
}

uint8_t SimCard::ReadBoard(uint8_t offset) {
    uint8_t value = 0;
    if (board_absent_) {
        value = board::kAbsentValue;
    } else if (offset >= board::kCount) {
        GuestError(Describe("board register read at unknown offset", offset));
    } else {
        if (offset == board::kReset && !reset_done_ && !reset_never_completes_) {
            if (reset_reads_left_ == 0) {
                reset_done_ = true;
            } else {
                --reset_reads_left_;
            }
        }
        value = BoardReadValue(offset);
        if (auto it = stuck_board_.find(offset); it != stuck_board_.end()) {
            value = static_cast<uint8_t>((value & ~it->second.first) |
                                         (it->second.second & it->second.first));
        }
    }
    Record(Access::Kind::BoardRead, offset, value);
    return value;
}

void SimCard::WriteBoard(uint8_t offset, uint8_t value) {
    Record(Access::Kind::BoardWrite, offset, value);
    if (board_absent_) {
        return;
    }
    if (offset >= board::kCount) {
        GuestError(Describe("board register write at unknown offset", offset));
        return;
    }
    if (offset == board::kReset) {
        if (value == 0) {
            ResetBoard();
        } else {
            GuestError(Describe("board register 3 written with a value other than 0", value));
        }
        return;
    }
    board_[offset] = value;
}

uint8_t SimCard::PeekBoard(uint8_t offset) const {
    return offset < board::kCount ? BoardReadValue(offset) : 0;
}

// ---- Card-memory window ----

size_t SimCard::ResolveWindow(uint16_t offset, size_t length, const char* what, uint32_t* address) {
    if (board_absent_ || length == 0) {
        return 0;
    }
    if ((board_[board::kControl] & board::kHostAccess) == 0) {
        GuestError(Describe(what, offset, "without host access to card memory"));
        return 0;
    }
    if (offset >= kWindowBytes) {
        GuestError(Describe(what, offset, "outside the 16 KB window"));
        return 0;
    }
    const size_t room = kWindowBytes - offset;
    if (length > room) {
        GuestError(Describe(what, offset, "runs past the end of the window"));
        length = room;
    }
    *address =
        static_cast<uint32_t>(board_[board::kControl] & board::kPageMask) * kWindowBytes + offset;
    return length;
}

void SimCard::WindowRead(uint16_t offset, uint8_t* host, size_t length, const char* what) {
    if (length == 0) {
        return;  // a block transfer of nothing touches neither side
    }
    uint32_t address = 0;
    const size_t reach = ResolveWindow(offset, length, what, &address);
    std::memcpy(host, memory_.data() + address, reach);
    std::memset(host + reach, 0xFF, length - reach);
}

void SimCard::WindowWrite(uint16_t offset, const uint8_t* host, size_t length, const char* what) {
    if (length == 0) {
        return;
    }
    uint32_t address = 0;
    const size_t reach = ResolveWindow(offset, length, what, &address);
    std::memcpy(memory_.data() + address, host, reach);
    if (reach != 0 && !rx_frame_ends_.empty()) {
        NoteEntriesGivenBack(address, reach);
    }
}

uint16_t SimCard::ReadWindow16(uint16_t offset) {
    uint8_t b[2];
    WindowRead(offset, b, sizeof b, "16-bit card-memory read");
    return static_cast<uint16_t>(b[0] | (b[1] << 8));
}

void SimCard::WriteWindow16(uint16_t offset, uint16_t value) {
    const uint8_t b[2] = {static_cast<uint8_t>(value), static_cast<uint8_t>(value >> 8)};
    WindowWrite(offset, b, sizeof b, "16-bit card-memory write");
}

uint32_t SimCard::ReadWindow32(uint16_t offset) {
    uint8_t b[4];
    WindowRead(offset, b, sizeof b, "32-bit card-memory read");
    return static_cast<uint32_t>(b[0]) | (static_cast<uint32_t>(b[1]) << 8) |
           (static_cast<uint32_t>(b[2]) << 16) | (static_cast<uint32_t>(b[3]) << 24);
}

void SimCard::WriteWindow32(uint16_t offset, uint32_t value) {
    const uint8_t b[4] = {static_cast<uint8_t>(value), static_cast<uint8_t>(value >> 8),
                          static_cast<uint8_t>(value >> 16), static_cast<uint8_t>(value >> 24)};
    WindowWrite(offset, b, sizeof b, "32-bit card-memory write");
}

void SimCard::ReadWindowWords(uint16_t offset, uint8_t* host, size_t words) {
    WindowRead(offset, host, words * 4, "card-memory block read");
}

void SimCard::WriteWindowWords(uint16_t offset, const uint8_t* host, size_t words) {
    WindowWrite(offset, host, words * 4, "card-memory block write");
}

void SimCard::ReadWindowBytes(uint16_t offset, uint8_t* host, size_t bytes) {
    WindowRead(offset, host, bytes, "card-memory byte read");
}

void SimCard::WriteWindowBytes(uint16_t offset, const uint8_t* host, size_t bytes) {
    WindowWrite(offset, host, bytes, "card-memory byte write");
}

std::span<uint8_t> SimCard::CardMemory() {
    return memory_;
}

// ---- Interrupt line ----

void SimCard::UpdateInterrupt() {
    // Serial interrupts: ICR bit n+2 enables DCCR pending bit n, under the ICR master enable.
    const uint8_t serial_enabled =
        static_cast<uint8_t>(chip_.icr >> reg::kIcrEnableShift) & reg::kDccrSourceMask;
    const bool serial =
        (chip_.icr & reg::kIcrMasterEnable) != 0 && (chip_.dccr_pending & serial_enabled) != 0;
    // DMA interrupts: DICR bits 1-0 enable the pending bits, under the DICR master enable.
    const bool dma = (chip_.dicr & reg::kDicrMasterEnable) != 0 &&
                     (chip_.dma_pending & chip_.dicr & reg::kDicrChannelEnables) != 0;
    irq_line_ = !board_absent_ && (serial || dma);
}

// ---- Modem pins ----

ModemOutputs SimCard::GetModemOutputs() const {
    auto field = [this](unsigned shift) { return (chip_.pcr >> shift) & 0x3; };
    // PORT7 given to its special function (the RS-485 setting) is the line driver enable:
    // RTS is asserted while a frame is on the line.
    const unsigned rts = field(reg::kPcrPort7Shift);
    return {.dtr = field(reg::kPcrPort6Shift) == reg::kPcrDriveLow,
            .rts = rts == reg::kPcrDriveLow || (rts == reg::kPcrSpecialFunction && tx_active_)};
}

void SimCard::NotifyOutputChange(const ModemOutputs& before) {
    const ModemOutputs after = GetModemOutputs();
    if (before.rts != after.rts) {
        chip_.psr_latch |= reg::kPsrRts << 1;
    }
    if (before.dtr != after.dtr) {
        chip_.psr_latch |= reg::kPsrDtr << 1;
    }
    if ((before.rts != after.rts || before.dtr != after.dtr) && output_lines_changed_) {
        output_lines_changed_();
    }
}

void SimCard::UpdateInputPins(uint16_t mask, uint16_t state) {
    // A change of any input sets its "changed" latch (the bit above it) until the driver
    // clears it by writing 1.
    uint16_t current = misr_pins_.load(std::memory_order_relaxed);
    uint16_t next = 0;
    do {
        next = static_cast<uint16_t>((current & ~mask) | (state & mask));
        next |= static_cast<uint16_t>(((current ^ next) & mask) << 1);
    } while (!misr_pins_.compare_exchange_weak(current, next, std::memory_order_relaxed));
}

void SimCard::SetModemInputs(const ModemInputs& inputs) {
    const uint16_t state = (inputs.dsr ? reg::kMisrDsr : 0) | (inputs.ri ? reg::kMisrRi : 0) |
                           (inputs.dcd ? reg::kMisrDcd : 0) | (inputs.cts ? reg::kMisrCts : 0);
    UpdateInputPins(reg::kMisrDsr | reg::kMisrRi | reg::kMisrDcd | reg::kMisrCts, state);
}

void SimCard::DriveInputsFrom(const ModemOutputs& far_end) {
    const uint16_t state =
        (far_end.dtr ? reg::kMisrDsr | reg::kMisrDcd : 0) | (far_end.rts ? reg::kMisrCts : 0);
    UpdateInputPins(reg::kMisrDsr | reg::kMisrDcd | reg::kMisrCts, state);
}

ModemInputs SimCard::GetModemInputs() const {
    const uint16_t pins = misr_pins_.load(std::memory_order_relaxed);
    return {.dsr = (pins & reg::kMisrDsr) != 0,
            .dcd = (pins & reg::kMisrDcd) != 0,
            .cts = (pins & reg::kMisrCts) != 0,
            .ri = (pins & reg::kMisrRi) != 0};
}

void SimCard::SetPort4Input(bool asserted) {
    if (asserted != port4_input_) {
        chip_.psr_latch |= reg::kPsrPort4 << 1;
    }
    port4_input_ = asserted;
}

void SimCard::SetOutputLinesChangedHandler(std::function<void()> handler) {
    output_lines_changed_ = std::move(handler);
}

// ---- Faults ----

void SimCard::InjectBoardAbsent(bool absent) {
    board_absent_ = absent;
    UpdateInterrupt();
}

void SimCard::InjectResetNeverCompletes(bool never) {
    reset_never_completes_ = never;
}

void SimCard::InjectStuckRegBits(uint8_t offset, uint16_t mask, uint16_t value) {
    stuck_regs_[offset & 0xFE] = {mask, value};
}

void SimCard::InjectStuckBoardBits(uint8_t offset, uint8_t mask, uint8_t value) {
    stuck_board_[offset] = {mask, value};
}

void SimCard::ClearFaults() {
    board_absent_ = false;
    reset_never_completes_ = false;
    stuck_regs_.clear();
    stuck_board_.clear();
    ClearLineFaults();
    UpdateInterrupt();
}

void SimCard::SetResetReadsToComplete(unsigned reads) {
    reset_reads_to_complete_ = reads;
}

// ---- Trace and guest errors ----

void SimCard::EnableTrace(bool on) {
    trace_on_ = on;
}
const std::vector<Access>& SimCard::Trace() const {
    return trace_;
}
void SimCard::ClearTrace() {
    trace_.clear();
}

void SimCard::Record(Access::Kind kind, uint8_t offset, uint16_t value) {
    if (trace_on_) {
        trace_.push_back({kind, offset, value});
    }
}

void SimCard::GuestError(std::string message) {
    ++guest_error_count_;
    if (guest_errors_.size() < kMaxGuestErrorMessages) {
        guest_errors_.push_back(std::move(message));
    }
}

std::string SimCard::Describe(const char* what, unsigned value, const char* tail) {
    char text[128];
    std::snprintf(text, sizeof text, "%s 0x%02X%s%s", what, value, tail[0] ? " " : "", tail);
    return text;
}

// ---- Time ----

uint64_t SimCard::NowNanoseconds() const {
    return now_ns_;
}

void SimCard::StallMicroseconds(uint32_t microseconds) {
    StepTo(now_ns_ + static_cast<uint64_t>(microseconds) * 1000, false);
}

}  // namespace qorval::sim
