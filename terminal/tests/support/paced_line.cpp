#include "terminal/tests/support/paced_line.h"

#include <vector>

#include "portaccess/fake/fake_library.h"
#include "portaccess/fake/fake_state.h"
#include "portaccess/qorval32.h"

namespace qorval::terminal::testing {
namespace {

// Frames waiting at a port, read from the fake's model.
size_t Waiting(uint16_t driver, uint16_t port, uint16_t* capacity) {
    auto& state = fake::FakeLibrary::Instance().State();
    std::lock_guard lock(state.mutex);
    const fake::FakePort* p = state.ByKey({driver, port});
    if (p == nullptr) {
        return 0;
    }
    if (capacity != nullptr) {
        *capacity = p->port_spec.rx_buffers;
    }
    return p->waiting.size();
}

}  // namespace

PacedLine::PacedLine(uint16_t driver, uint16_t end_a, uint16_t relay_a, uint16_t end_b,
                     uint16_t relay_b, double bits_per_second)
    : driver_(driver), bits_per_second_(bits_per_second) {
    auto& fake = fake::FakeLibrary::Instance();
    // The relay ports hold what waits for the line: the card's transmit buffers, which the
    // fake does not count down, are stood in for by deep receive queues here.
    for (uint16_t relay : {relay_a, relay_b}) {
        fake.AddPort({.driver_type = driver, .port = relay, .rx_buffers = 65535});
    }
    fake.ConnectPair(driver, end_a, relay_a);
    fake.ConnectPair(driver, end_b, relay_b);
    QORVAL_PortOpen(driver, relay_a, &handle_a_);
    QORVAL_PortOpen(driver, relay_b, &handle_b_);
    a_to_b_ = {handle_a_, handle_b_, relay_a, end_a, end_b, true, std::vector<uint8_t>(65535)};
    b_to_a_ = {handle_b_, handle_a_, relay_b, end_b, end_a, false, std::vector<uint8_t>(65535)};
    relay_ = std::thread([this] { Run(); });
}

PacedLine::~PacedLine() {
    running_ = false;
    relay_.join();
    QORVAL_PortClose(handle_a_);
    QORVAL_PortClose(handle_b_);
}

bool PacedLine::Step(Direction& d) {
    const auto now = Clock::now();
    bool moved = false;
    if (d.in_flight && now >= d.arrives) {
        // Delivered once it has crossed the line, and only into a receiver with room, as a
        // receiver with its buffers full would lose the frame.
        uint16_t room = 100;
        if (Waiting(driver_, d.receiver_end, &room) + 2 >= room) {
            return false;
        }
        QORVAL_PutData(d.to, d.frame.data(), static_cast<uint32_t>(d.frame.size()));
        // A frame already queued behind this one follows it back to back on the line, even
        // when the relay itself comes late.
        d.queued_behind = Waiting(driver_, d.from_relay, nullptr) > 0;
        if (d.record) {
            std::lock_guard lock(span_mutex_);
            crossings_.push_back({d.started, d.arrives, static_cast<uint32_t>(d.frame.size())});
        }
        d.in_flight = false;
        moved = true;
    }
    if (!d.in_flight) {
        d.frame.resize(65535);
        uint32_t length = 0;
        if (QORVAL_GetData(d.from, d.frame.data(), static_cast<uint16_t>(d.frame.size()),
                           &length) != 0 ||
            length == 0) {
            return moved;
        }
        d.frame.resize(length);
        // Back to back after the frame before, or at once on an idle line.
        d.started = d.queued_behind ? d.arrives : std::max(now, d.arrives);
        d.queued_behind = false;
        d.arrives = d.started;
        if (bits_per_second_ > 0) {
            const double seconds = (length + kFrameOverheadBytes) * 8.0 / bits_per_second_;
            d.arrives +=
                std::chrono::duration_cast<Clock::duration>(std::chrono::duration<double>(seconds));
        }
        d.in_flight = true;
        moved = true;
    }
    return moved;
}

void PacedLine::Run() {
    while (running_) {
        const bool moved = Step(a_to_b_) | Step(b_to_a_);
        if (!moved) {
            std::this_thread::yield();
        }
    }
}

PacedLine::Span PacedLine::DataSpanAtoB(uint32_t min_bytes) const {
    std::lock_guard lock(span_mutex_);
    Span s;
    Clock::time_point first{};
    Clock::time_point last{};
    for (const Crossing& c : crossings_) {
        if (c.bytes < min_bytes) {
            continue;
        }
        if (s.frames == 0) {
            first = c.started;
        }
        last = c.arrived;
        s.bytes += c.bytes;
        ++s.frames;
    }
    s.seconds = std::chrono::duration<double>(last - first).count();
    return s;
}

}  // namespace qorval::terminal::testing
