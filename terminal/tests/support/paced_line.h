#pragma once
// A line between two ends of the fake library that takes time: end A (port end_a, paired with
// relay_a) and end B (end_b, paired with relay_b). A relay thread carries each frame across
// after the time it would take on a line of `bits_per_second` (0: no pacing), full duplex, and
// delivers it only when the receiving end has a free receive buffer. The relay ports are added
// here with deep queues, which stand for the sender's transmit buffers. It also notes when data
// crossed, for throughput figures.

#include <atomic>
#include <chrono>
#include <cstdint>
#include <mutex>
#include <thread>
#include <vector>

namespace qorval::terminal::testing {

class PacedLine {
  public:
    // Every frame costs its bytes plus this many (closing flag and CRC-16) on the line.
    static constexpr uint32_t kFrameOverheadBytes = 3;

    PacedLine(uint16_t driver, uint16_t end_a, uint16_t relay_a, uint16_t end_b, uint16_t relay_b,
              double bits_per_second);
    ~PacedLine();
    PacedLine(const PacedLine&) = delete;
    PacedLine& operator=(const PacedLine&) = delete;

    // Frames of at least `min_bytes` carried from A to B: the time from the start of the first
    // to the end of the last, and their bytes.
    struct Span {
        double seconds = 0;
        uint64_t bytes = 0;
        uint64_t frames = 0;
    };
    Span DataSpanAtoB(uint32_t min_bytes) const;

  private:
    using Clock = std::chrono::steady_clock;
    struct Direction {
        uint32_t from;          // relay handle frames are taken from
        uint32_t to;            // relay handle they are put on (its peer is the far end)
        uint16_t from_relay;    // port numbers of those
        uint16_t sender_end;    // whose transmit buffers this direction holds
        uint16_t receiver_end;  // who must have room for the frame
        bool record;            // note the frames for DataSpanAtoB
        std::vector<uint8_t> frame;
        bool in_flight = false;
        bool queued_behind = false;
        Clock::time_point started{};
        Clock::time_point arrives{};
    };
    struct Crossing {
        Clock::time_point started;
        Clock::time_point arrived;
        uint32_t bytes;
    };
    void Run();
    bool Step(Direction& d);

    uint16_t driver_;
    double bits_per_second_;
    Direction a_to_b_;
    Direction b_to_a_;
    uint32_t handle_a_ = 0;
    uint32_t handle_b_ = 0;
    std::atomic<bool> running_{true};
    std::thread relay_;

    mutable std::mutex span_mutex_;
    std::vector<Crossing> crossings_;
};

}  // namespace qorval::terminal::testing
