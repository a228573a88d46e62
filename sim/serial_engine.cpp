// The serial side of the channel in virtual time: the HDLC transmitter that takes frames from
// transmit DMA, puts them on the line with their frame check and reports the end of each
// buffer; the receiver that checks arriving frames (address, frame check) and hands them to
// receive DMA; and the stepping of the card's clock from one event to the next.

#include <algorithm>

#include "sim/crc.h"
#include "sim/iusc_registers.h"
#include "sim/sim_card.h"

namespace qorval::sim {
namespace {

// A guard against a driver that keeps the channel busy at a single instant (with an
// unlimited line rate, frames take no time): one step handles at most this many events.
constexpr unsigned kMaxEventsPerStep = 1'000'000;

uint8_t ReverseBits(uint8_t b) {
    b = static_cast<uint8_t>((b & 0xF0) >> 4 | (b & 0x0F) << 4);
    b = static_cast<uint8_t>((b & 0xCC) >> 2 | (b & 0x33) << 2);
    return static_cast<uint8_t>((b & 0xAA) >> 1 | (b & 0x55) << 1);
}

CrcKind CrcFromMode(uint16_t mode) {
    if ((mode & reg::kModeCrcEnable) != reg::kModeCrcEnable) {
        return CrcKind::None;
    }
    return (mode & reg::kModeCrc32) != 0 ? CrcKind::Crc32 : CrcKind::Ccitt16;
}

bool Enabled(uint16_t mode) {
    return (mode & reg::kModeEnableMask) == reg::kModeEnabled;
}

}  // namespace

// ---- Transmitter ----

void SimCard::TryStartTransmit(uint64_t start_ns) {
    if (tx_active_ || !chip_.tx_dma.running || !Enabled(chip_.tmr) ||
        (chip_.cmr & reg::kCmrTxModeMask) != reg::kCmrTxHdlc) {
        return;
    }
    const double rate = TransmitBitRate();
    if (clocked_ && rate <= 0.0) {
        return;  // no transmit clock: the transmitter waits
    }
    if (!FetchBuffer(false)) {
        return;
    }
    const DmaChannel& ch = chip_.tx_dma;
    LineFrame frame = TransmitFrameOf(std::span(memory_).subspan(ch.buffer, ch.count));
    const uint64_t duration =
        clocked_ ? BitsToNanoseconds(FrameBitsOnLine(chip_.ccr, frame.wire), rate) : 0;
    frame.end_ns = start_ns + duration;

    tx_fault_status_ = 0;
    if (tx_underruns_to_inject_ > 0) {
        --tx_underruns_to_inject_;
        tx_fault_status_ = reg::kTcsrUnderrun;
    } else if (tx_aborts_to_inject_ > 0) {
        --tx_aborts_to_inject_;
        tx_fault_status_ = reg::kTcsrAbortSent;
    }
    frame.aborted = tx_fault_status_ != 0;
    tx_frame_ = std::move(frame);
    tx_active_ = true;
}

LineFrame SimCard::TransmitFrameOf(std::span<const uint8_t> data) const {
    LineFrame frame;
    frame.wire.assign(data.begin(), data.end());
    if (chip_.msb_first) {
        std::transform(frame.wire.begin(), frame.wire.end(), frame.wire.begin(), ReverseBits);
    }
    const std::vector<uint8_t> check =
        FrameCheck(CrcFromMode(chip_.tmr), (chip_.tmr & reg::kModeCrcPresetOnes) != 0, frame.wire);
    frame.wire.insert(frame.wire.end(), check.begin(), check.end());
    frame.check_bytes = check.size();
    frame.encoding = chip_.tmr & reg::kModeEncodingMask;
    return frame;
}

uint64_t SimCard::FrameNanosecondsOnLine(std::span<const uint8_t> data) const {
    const double rate = TransmitBitRate();
    if (!clocked_ || rate <= 0.0) {
        return 0;
    }
    return BitsToNanoseconds(FrameBitsOnLine(chip_.ccr, TransmitFrameOf(data).wire), rate);
}

void SimCard::FinishTransmit() {
    const ModemOutputs before = GetModemOutputs();
    tx_active_ = false;
    ++stats_.frames_sent;
    Deliver(tx_frame_);
    if (tx_fault_status_ != 0) {
        RaiseTransmitStatus(tx_fault_status_);
    }
    // The buffer is done: report it, step to the linked entry and fetch it at once, so that
    // an empty next entry shows end of list together with this end of buffer.
    DmaChannel& ch = chip_.tx_dma;
    ch.entry = ch.link;
    ch.have_buffer = false;
    DmaStatus(false, reg::kDmrEndOfBuffer);
    TryStartTransmit(now_ns_);
    NotifyOutputChange(before);  // after the next frame started: no gap between frames
}

void SimCard::CutOffTransmit() {
    // The transmitter runs out of data mid-frame and closes it with an abort at once; the DMA
    // reports nothing for the buffer it gave up.
    if (!tx_active_) {
        return;
    }
    const ModemOutputs before = GetModemOutputs();
    tx_active_ = false;
    tx_frame_.aborted = true;
    tx_frame_.end_ns = now_ns_;
    Deliver(tx_frame_);
    NotifyOutputChange(before);
}

void SimCard::Deliver(const LineFrame& frame) {
    if ((chip_.ccar & reg::kCcarModeMask) == reg::kCcarModeLoopback) {
        Receive(frame);  // internal local loopback: the receiver hears the transmitter
        return;
    }
    if ((chip_.iocr & reg::kIocrTxdMask) == reg::kIocrTxdMask) {
        return;  // TxD pin held: nothing reaches the line
    }
    if (transmit_sink_) {
        transmit_sink_(frame);
    }
}

IdleLine SimCard::LineIdle() const {
    if ((chip_.iocr & reg::kIocrTxdMask) == reg::kIocrTxdMask) {
        return IdleLine::HeldMark;
    }
    const unsigned code = (chip_.tcsr_idle >> 8) & 0x7;
    return code == 4 ? IdleLine::Flags : static_cast<IdleLine>(code);  // code 4 is unassigned
}

double SimCard::TransmitBitRate() const {
    return qorval::sim::TransmitBitRate(chip_, clocks_);
}

// ---- Receiver ----

void SimCard::Receive(LineFrame frame) {
    std::lock_guard guard(inbox_lock_);
    inbox_.push_back(std::move(frame));
}

void SimCard::DrainInbox() {
    std::vector<LineFrame> arrived;
    {
        std::lock_guard guard(inbox_lock_);
        arrived.swap(inbox_);
    }
    for (LineFrame& frame : arrived) {
        const auto later =
            std::upper_bound(rx_queue_.begin(), rx_queue_.end(), frame.end_ns,
                             [](uint64_t t, const LineFrame& queued) { return t < queued.end_ns; });
        rx_queue_.insert(later, std::move(frame));
    }
}

void SimCard::ProcessArrival(LineFrame frame) {
    if (frame.aborted) {
        ++stats_.frames_aborted;
        return;
    }
    if (!Enabled(chip_.rmr) || (chip_.cmr & reg::kCmrRxModeMask) != reg::kCmrRxHdlc ||
        frame.wire.empty()) {
        ++stats_.frames_lost_receiver_off;
        return;
    }
    if (!frame.check_by_receiver && frame.encoding != (chip_.rmr & reg::kModeEncodingMask)) {
        // Decoded with another line coding the bits never form a flag: nothing is received.
        ++stats_.frames_lost_coding;
        return;
    }
    if (rx_crc_errors_to_inject_ > 0) {
        --rx_crc_errors_to_inject_;
        frame.wire[frame.wire.size() / 2] ^= 0x10;
    }
    if (frame.check_by_receiver) {
        const auto check = FrameCheck(CrcFromMode(chip_.rmr),
                                      (chip_.rmr & reg::kModeCrcPresetOnes) != 0, frame.wire);
        frame.wire.insert(frame.wire.end(), check.begin(), check.end());
    }
    const bool check_ok = FrameCheckMatches(CrcFromMode(chip_.rmr),
                                            (chip_.rmr & reg::kModeCrcPresetOnes) != 0, frame.wire);
    std::vector<uint8_t> bytes = std::move(frame.wire);
    if (chip_.msb_first) {
        std::transform(bytes.begin(), bytes.end(), bytes.begin(), ReverseBits);
    }
    // Address search: only frames whose first byte is this station's address or the
    // all-stations address 0xFF are received.
    if ((chip_.cmr & reg::kCmrAddressSearch) != 0 && bytes[0] != (chip_.rsr & 0xFF) &&
        bytes[0] != 0xFF) {
        ++stats_.frames_filtered;
        return;
    }
    if (!chip_.rx_dma.running) {
        ++stats_.frames_lost_no_dma;
        return;
    }
    uint16_t status = check_ok ? 0 : reg::kRcsrCrcError;
    if (rx_overruns_to_inject_ > 0) {
        // The FIFO overflows halfway through: the rest of the frame never reaches memory.
        --rx_overruns_to_inject_;
        bytes.resize(bytes.size() / 2);
        status = reg::kRcsrOverrun;
    }
    if (!StoreFrame(bytes, status)) {
        ++stats_.frames_lost_no_dma;
        return;
    }
    ++stats_.frames_received;
    if (status != 0) {
        RaiseReceiveStatus(status);
    }
}

void SimCard::PurgeReceiver() {
    // Frames arrive whole at their closing flag, so the FIFO never holds a part of one:
    // purging it, a receiver reset and entering hunt mode have nothing to throw away.
}

// ---- Stepping ----

void SimCard::Kick() {
    const ModemOutputs before = GetModemOutputs();
    TryStartTransmit(present_ ? std::max(now_ns_, present_()) : now_ns_);
    NotifyOutputChange(before);
}

void SimCard::OnChipReset() {
    tx_active_ = false;
    rx_queue_.clear();
    std::lock_guard guard(inbox_lock_);
    inbox_.clear();
}

uint64_t SimCard::NextEventTime() const {
    uint64_t next = NextLocalEventTime();
    std::lock_guard guard(inbox_lock_);
    for (const LineFrame& frame : inbox_) {
        next = std::min(next, frame.end_ns);
    }
    return next;
}

uint64_t SimCard::NextLocalEventTime() const {
    uint64_t next = kNever;
    if (tx_active_) {
        next = tx_frame_.end_ns;
    }
    if (!rx_queue_.empty()) {
        next = std::min(next, rx_queue_.front().end_ns);
    }
    return next;
}

bool SimCard::ProcessOneEvent(uint64_t limit_ns) {
    DrainInbox();
    const uint64_t next = NextLocalEventTime();
    if (next == kNever || next > limit_ns) {
        return false;
    }
    now_ns_ = std::max(now_ns_, next);
    // On a tie the transmitter goes first, so a frame looped back at this instant queues
    // behind frames that arrived earlier.
    if (tx_active_ && tx_frame_.end_ns == next) {
        FinishTransmit();
    } else {
        LineFrame frame = std::move(rx_queue_.front());
        rx_queue_.pop_front();
        ProcessArrival(std::move(frame));
    }
    return true;
}

void SimCard::NotifyInterrupt() {
    if (irq_line_ && interrupt_handler_ && !in_handler_) {
        in_handler_ = true;
        interrupt_handler_();
        in_handler_ = false;
    }
}

void SimCard::StepTo(uint64_t time_ns, bool notify) {
    if (notify) {
        NotifyInterrupt();
    }
    unsigned events = 0;
    while (ProcessOneEvent(time_ns)) {
        if (notify) {
            NotifyInterrupt();
        }
        if (++events == kMaxEventsPerStep) {
            GuestError("the channel stayed busy for too many events in one step");
            break;
        }
    }
    now_ns_ = std::max(now_ns_, time_ns);
}

void SimCard::Advance(uint64_t nanoseconds) {
    StepTo(now_ns_ + nanoseconds, true);
}

bool SimCard::RunUntilIdle(uint64_t limit_nanoseconds) {
    const uint64_t limit = now_ns_ + limit_nanoseconds;
    for (uint64_t next = NextEventTime(); next != kNever && next <= limit; next = NextEventTime()) {
        StepTo(next, true);
    }
    return NextEventTime() == kNever;
}

void SimCard::SetInterruptHandler(std::function<void()> handler) {
    interrupt_handler_ = std::move(handler);
}

void SimCard::SetPresentTime(std::function<uint64_t()> present) {
    present_ = std::move(present);
}

void SimCard::SetTransmitSink(std::function<void(const LineFrame&)> sink) {
    transmit_sink_ = std::move(sink);
}

void SimCard::SetClocked(bool clocked) {
    clocked_ = clocked;
}
void SimCard::SetClockInputs(const ClockInputs& clocks) {
    clocks_ = clocks;
}

// ---- Line faults ----

void SimCard::InjectReceiveOverrun(unsigned frames) {
    rx_overruns_to_inject_ = frames;
}
void SimCard::InjectReceiveCrcError(unsigned frames) {
    rx_crc_errors_to_inject_ = frames;
}
void SimCard::InjectTransmitUnderrun(unsigned frames) {
    tx_underruns_to_inject_ = frames;
}
void SimCard::InjectTransmitAbort(unsigned frames) {
    tx_aborts_to_inject_ = frames;
}

void SimCard::ClearLineFaults() {
    rx_overruns_to_inject_ = 0;
    rx_crc_errors_to_inject_ = 0;
    tx_underruns_to_inject_ = 0;
    tx_aborts_to_inject_ = 0;
}

}  // namespace qorval::sim
