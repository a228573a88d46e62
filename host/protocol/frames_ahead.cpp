#include "host/protocol/frames_ahead.h"

#include <algorithm>
#include <cstring>
#include <numeric>

#include "driver/ntstatus.h"

namespace qorval::protocol::ring {

namespace {

// Whether `number` lies in [from, to], counting on from `from` with wrap-around.
bool Between(uint32_t from, uint32_t number, uint32_t to) {
    return number - from <= to - from;
}

uint32_t Reserved(size_t length) {
    const size_t lines = (length + kAheadAlignment - 1) / kAheadAlignment;
    return static_cast<uint32_t>(std::max<size_t>(lines, 1) * kAheadAlignment);
}

}  // namespace

HeldFrameRead ReadOfHeldFrame(uint32_t room, uint32_t read_length) {
    if (read_length == 0) {
        return HeldFrameRead::Nothing;
    }
    return room > read_length ? HeldFrameRead::TooSmall : HeldFrameRead::Takes;
}

bool FramesAheadWriter::Collect(const AheadView& area) {
    const uint32_t head = Load(area.header().head, std::memory_order_acquire);
    if (!Between(head_, head, tail_)) {
        return false;
    }
    for (; head_ != head; ++head_) {
        kept_.pop_front();
    }
    return true;
}

uint32_t FramesAheadWriter::Oldest() const {
    return Between(head_, floor_, tail_) ? floor_ : head_;
}

uint32_t FramesAheadWriter::HeldBuffers() const {
    const auto first = kept_.begin() + (Oldest() - head_);
    return std::accumulate(first, kept_.end(), uint32_t{0},
                           [](uint32_t sum, const Kept& kept) { return sum + kept.frame.buffers; });
}

const HeldFrame* FramesAheadWriter::FirstFrom(uint32_t number, uint32_t& found) const {
    if (!Between(head_, number, tail_)) {
        return nullptr;
    }
    const uint32_t oldest = Oldest();
    found = Between(head_, number, oldest) ? oldest : number;  // dropped frames are passed
    return found == tail_ ? nullptr : &kept_[found - head_].frame;
}

bool FramesAheadWriter::Place(uint32_t size, uint32_t& offset) const {
    if (tail_ - head_ >= kAheadFrames || size > kAheadDataSize) {
        return false;
    }
    if (kept_.empty()) {
        offset = 0;
        return true;
    }
    const uint32_t first = kept_.front().offset;
    const uint32_t end = kept_.back().offset + kept_.back().size;
    if (end > first) {  // the kept bytes do not wrap: room after them, or else before them
        if (kAheadDataSize - end >= size) {
            offset = end;
            return true;
        }
        if (first >= size) {
            offset = 0;
            return true;
        }
        return false;
    }
    if (first - end >= size) {  // they wrap: room only between their end and their start
        offset = end;
        return true;
    }
    return false;
}

bool FramesAheadWriter::HasRoomFor(size_t length) const {
    uint32_t offset = 0;
    return length <= kMaxPayload && Place(Reserved(length), offset);
}

void FramesAheadWriter::Publish(const AheadView& area, HeldFrame frame) {
    const uint32_t size = Reserved(frame.bytes.size());
    uint32_t offset = 0;
    if (frame.bytes.size() > kMaxPayload || !Place(size, offset)) {
        return;  // callers ask HasRoomFor first
    }
    if (!frame.bytes.empty()) {
        std::memcpy(area.bytes() + offset, frame.bytes.data(), frame.bytes.size());
    }
    AheadRecord& record = area.record(tail_);
    Store(record.status, frame.status);
    Store(record.delivered, static_cast<uint32_t>(frame.bytes.size()));
    Store(record.room, frame.room);
    Store(record.buffers, frame.buffers);
    Store(record.offset, offset);
    Store(record.arrival_low, static_cast<uint32_t>(frame.arrival_ns));
    Store(record.arrival_high, static_cast<uint32_t>(frame.arrival_ns >> 32));
    Store(record.buffers_before, cumulative_);
    cumulative_ += frame.buffers;
    kept_.push_back({offset, size, std::move(frame)});
    ++tail_;
    Store(area.header().tail, tail_, std::memory_order_release);
}

void FramesAheadWriter::DropAll(const AheadView& area) {
    floor_ = tail_;
    Store(area.header().floor, floor_, std::memory_order_release);
}

void FramesAheadWriter::Suspend(const AheadView& area, bool suspended) {
    Store(area.header().suspended, suspended ? 1u : 0u, std::memory_order_seq_cst);
}

void FramesAheadWriter::ReadsAhead(const AheadView& area) {
    Store(area.header().reading_ahead, 1u, std::memory_order_release);
}

void FramesAheadWriter::TakesWith(const AheadView& area, uint32_t length) {
    Store(area.header().read_length, length, std::memory_order_release);
}

bool FramesAheadReader::Serves(const AheadView& area, size_t length) {
    return Load(area.header().reading_ahead, std::memory_order_acquire) == 1 &&
           Load(area.header().read_length, std::memory_order_acquire) ==
               std::min<size_t>(length, kMaxPayload) &&
           Load(area.header().suspended, std::memory_order_seq_cst) == 0;
}

FramesAheadReader::Outcome FramesAheadReader::Read(const AheadView& area,
                                                   std::span<uint8_t> buffer, Answer& out) {
    AheadHeader& header = area.header();
    if (Load(header.suspended, std::memory_order_seq_cst) != 0) {
        return Outcome::Empty;  // the host answers, as the driver would now
    }
    uint32_t head = head_.load(std::memory_order_relaxed);
    // The floor first: the host moves it only up to a tail it has already published.
    const uint32_t floor = Load(header.floor, std::memory_order_acquire);
    const uint32_t tail = Load(header.tail, std::memory_order_acquire);
    if (tail - head > kAheadFrames) {
        return Outcome::Garbled;
    }
    if (head != floor && Between(head, floor, tail)) {
        head = floor;  // what the host dropped is not read
        head_.store(head, std::memory_order_relaxed);
        Store(header.head, head, std::memory_order_release);
    }
    if (head == tail) {
        return Outcome::Empty;
    }
    AheadRecord& record = area.record(head);
    const uint32_t delivered = Load(record.delivered);
    const uint32_t room = Load(record.room);
    const uint32_t offset = Load(record.offset);
    if (delivered > room || delivered > kMaxPayload || offset > kAheadDataSize - delivered) {
        return Outcome::Garbled;
    }
    const uint32_t read_length =
        static_cast<uint32_t>(std::min<size_t>(buffer.size(), kMaxPayload));
    switch (ReadOfHeldFrame(room, read_length)) {
        case HeldFrameRead::Nothing:
            out = {wyvel32::STATUS_SUCCESS, 0, 0};
            return Outcome::Answered;
        case HeldFrameRead::TooSmall:
            out = {wyvel32::STATUS_INFO_LENGTH_MISMATCH, 0, 0};
            return Outcome::Answered;
        case HeldFrameRead::Takes:
            break;
    }
    if (delivered != 0) {
        std::memcpy(buffer.data(), area.bytes() + offset, delivered);
    }
    out.status = Load(record.status);
    out.information = delivered;
    out.arrival_ns = uint64_t{Load(record.arrival_high)} << 32 | Load(record.arrival_low);
    ++head;
    head_.store(head, std::memory_order_relaxed);
    Store(header.head, head, std::memory_order_release);
    return Outcome::Answered;
}

bool FramesAheadReader::MoveTo(const AheadView& area, uint32_t next) {
    const uint32_t head = head_.load(std::memory_order_relaxed);
    if (next == head || next - head > kAheadFrames) {
        return false;
    }
    head_.store(next, std::memory_order_relaxed);
    Store(area.header().head, next, std::memory_order_release);
    return true;
}

std::optional<uint32_t> FramesAheadReader::HeldBuffers(const AheadView& area,
                                                       const AheadMark& mark) const {
    const uint32_t head = head_.load(std::memory_order_relaxed);
    const uint32_t untaken = mark.tail - head;    // up to the tail, not taken by the client
    const uint32_t held = mark.tail - mark.from;  // up to the tail, counted held by the host
    if (untaken > kAheadFrames || held > kAheadFrames) {
        return std::nullopt;  // a head beyond the frames the block knows of, or a garbled mark
    }
    // The later of the two: frames below it were taken, or dropped, when the host looked.
    const uint32_t first = untaken < held ? head : mark.from;
    const uint32_t before =
        first == mark.tail ? mark.buffers : Load(area.record(first).buffers_before);
    const uint32_t buffers = mark.buffers - before;
    // A frame gives back one or two buffers.
    const uint32_t frames = mark.tail - first;
    if (buffers > 2 * frames || buffers < frames) {
        return std::nullopt;
    }
    return buffers;
}

}  // namespace qorval::protocol::ring
