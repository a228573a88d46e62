#include "host/server/read_ahead.h"

#include <algorithm>
#include <chrono>
#include <condition_variable>
#include <memory>
#include <vector>

#include "driver/ioctl_codes.h"
#include "driver/ntstatus.h"
#include "host/server/driver_questions.h"
#include "kernel/frame_arrival.h"

namespace qorval::host {

namespace ring = protocol::ring;

namespace {

// The read-ahead areas this thread holds, innermost last.
thread_local std::vector<const ReadAhead*> tl_holding;

// How long a take waits for a read that another thread is serving: it takes the frame there
// in microseconds, so only a broken driver reaches this.
constexpr auto kTakeBound = std::chrono::seconds(1);

// What the driver's read gave for one take.
struct Take {
    std::mutex lock;
    std::condition_variable done;
    bool given = false;  // guarded by lock
    kernel::NTSTATUS status = 0;
    uint64_t arrival_ns = 0;
    std::vector<uint8_t> bytes;
};

// Whether the read took the frame first in line (any other answer leaves it there: a buffer
// too small for it, or a device that answers no reads).
bool TookAFrame(kernel::NTSTATUS status) {
    return status == wyvel32::STATUS_SUCCESS || status == wyvel32::STATUS_DATA_OVERRUN ||
           status == wyvel32::STATUS_CRC_ERROR;
}

}  // namespace

bool EmptiesReceiveBuffers(uint32_t control_code, std::span<const uint8_t> input) {
    if (control_code == wyvel32::IOCTL_SET_PORT_STATE) {
        return true;
    }
    return control_code == wyvel32::IOCTL_RESET_BUFFERS && !input.empty() &&
           (input[0] == wyvel32::kResetReceive || input[0] == wyvel32::kResetBoth);
}

ReadAhead::Hold::Hold(ReadAhead& ahead, Wait wait) {
    if (ahead.HeldByThisThread()) {
        return;
    }
    lock_ = wait == Wait::Yes ? std::unique_lock(ahead.lock_)
                              : std::unique_lock(ahead.lock_, std::try_to_lock);
    if (lock_.owns_lock()) {
        tl_holding.push_back(&ahead);
    }
}

ReadAhead::Hold::~Hold() {
    if (lock_.owns_lock()) {
        tl_holding.pop_back();
    }
}

ReadAhead::ReadAhead(kernel::IoManager& kernel, kernel::IoManager::Handle handle,
                     ring::RingView ring)
    : kernel_(kernel), handle_(handle), ring_(ring) {
    ring::FramesAheadWriter::ReadsAhead(area());
}

bool ReadAhead::TakesAt(uint32_t waiting) const {
    return waiting >= (writes_.load(std::memory_order_relaxed) ? kTakeFrom : 1u);
}

void ReadAhead::NoteReadLength(uint32_t length) {
    if (length == 0) {
        return;
    }
    length = std::min(length, protocol::kMaxPayload);
    if (read_length_.exchange(length, std::memory_order_relaxed) != length) {
        ring::FramesAheadWriter::TakesWith(area(), length);
    }
}

void ReadAhead::RequestBegins(bool starts) {
    if (starts) {
        DropHeld();  // a start makes the driver's rings new
    }
    SetSuspended(true);
}

void ReadAhead::Close() {
    const Hold hold(*this, Hold::Wait::Yes);
    closed_ = true;
}

void ReadAhead::SetSuspended(bool suspended) {
    suspended_.store(suspended, std::memory_order_seq_cst);
    ring::FramesAheadWriter::Suspend(area(), suspended);
}

bool ReadAhead::HeldByThisThread() const {
    return std::find(tl_holding.begin(), tl_holding.end(), this) != tl_holding.end();
}

void ReadAhead::ApplyDrops() {
    if (drop_wanted_.exchange(false, std::memory_order_acq_rel)) {
        writer_.DropAll(area());
    }
}

bool ReadAhead::Prepare() {
    if (closed_) {
        return false;
    }
    ApplyDrops();
    if (!suspended_.load(std::memory_order_seq_cst)) {
        return true;
    }
    // Suspended by a Plug and Play or power request: the frames held are handed out again once
    // the driver lets a read through at once (the request ended without stopping the device,
    // or it woke).
    if (!DriverLetsAReadThrough(kernel_, handle_)) {
        return false;
    }
    SetSuspended(false);
    return true;
}

std::optional<uint32_t> ReadAhead::TakeWaiting(std::optional<uint32_t> counts,
                                               const std::function<bool()>& still_settled) {
    const uint32_t length = read_length_.load(std::memory_order_relaxed);
    // What the client took from the area since frees room. A garbage head stops reading
    // ahead here; the connection's next request finds it and ends the connection.
    if (closed_ || !writer_.Collect(area())) {
        broken_ = true;
    }
    if (!counts) {
        return counts;
    }
    uint32_t waiting = FramesWaitingOf(*counts);
    if (waiting != 0 && !TakesAt(waiting)) {
        return counts;  // the client keeps up: it reads them from the driver
    }
    // Once taking, everything waiting is taken: the client finds it in the area.
    // With nothing waiting after the service routine ran, one read all the same: the read a
    // polling client makes, which the client now answers from memory. It finds nothing (and
    // restarts a receiver that the routine paused with every buffer free). One byte long, so
    // that a frame that came just now stays for the next take, unless one byte holds it.
    bool looked = waiting != 0 || !poll_wanted_.exchange(false, std::memory_order_acq_rel);
    while (!broken_ && !closed_ && (waiting != 0 || !looked) && length != 0 &&
           writer_.HasRoomFor(length) && !suspended_.load(std::memory_order_seq_cst)) {
        const uint32_t read_with = waiting != 0 ? length : 1;
        looked = true;
        // A synchronous handle's read never waits, and every read of the handle is made under
        // a Hold: the driver serves this one at once, on this thread, or on the thread of a DPC
        // that came to serve reads just then.
        const auto take = std::make_shared<Take>();
        kernel::frame_arrival::Forget();
        kernel_.Read(handle_, read_with,
                     [take](kernel::NTSTATUS status, uint64_t, std::span<const uint8_t> output) {
                         std::lock_guard given(take->lock);
                         take->status = status;
                         take->bytes.assign(output.begin(), output.end());
                         take->arrival_ns = kernel::frame_arrival::Take();
                         take->given = true;
                         take->done.notify_one();
                     });
        {
            std::unique_lock given(take->lock);
            if (!take->done.wait_for(given, kTakeBound, [&] { return take->given; })) {
                broken_ = true;  // reading ahead stops: the driver no longer answers at once
                break;
            }
        }
        if (!TookAFrame(take->status)) {
            break;  // needs more room than the client's reads give it, or the device is gone
        }
        if (waiting == 0 && take->status == wyvel32::STATUS_SUCCESS && take->bytes.empty()) {
            // Nothing was there. (A frame of no bytes that came just now, with the CRC off, is
            // answered the same way to the client's read: it is not told apart.)
            break;
        }
        const std::optional<uint32_t> after = AskBufferCount(kernel_, handle_);
        const uint32_t left = after ? FramesWaitingOf(*after) : 0;
        const bool settled = still_settled();
        const uint32_t drop = waiting > left ? waiting - left : 0;
        // With nothing else under way the count fell by exactly the buffers the take gave back.
        // Otherwise only a frame delivered empty as an overrun can have given two, and that only
        // shows when the count fell by two despite frames that came meanwhile.
        const bool empty_overrun =
            take->status == wyvel32::STATUS_DATA_OVERRUN && take->bytes.empty();
        uint32_t buffers = 1;
        if (settled) {
            buffers = std::clamp<uint32_t>(drop, 1, 2);
        } else if (empty_overrun && drop >= 2) {
            buffers = 2;
        }
        ring::HeldFrame frame;
        frame.status = take->status;
        frame.room = static_cast<uint32_t>(take->bytes.size());
        frame.buffers = buffers;
        frame.arrival_ns = take->arrival_ns;
        frame.bytes = std::move(take->bytes);
        writer_.Publish(area(), std::move(frame));
        counts = after;
        if (!settled || !after) {
            break;
        }
        waiting = left;
    }
    return counts;
}

}  // namespace qorval::host
