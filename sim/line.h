#pragma once
// A line connects simulated cards the way cables would: a loopback plug (a port hears itself),
// a null-modem pair (data crossed; DTR drives the far end's DSR and DCD, RTS its CTS), or an
// open port with nothing attached. The line also owns the time of the cards on it: stepping the
// line steps every card in lockstep, so frames and interrupts happen in the same order on
// every run.

#include <cstdint>
#include <functional>
#include <memory>
#include <mutex>
#include <vector>

#include "sim/line_frame.h"
#include "sim/prng.h"
#include "sim/sim_card.h"

namespace qorval::sim {

// A line holds pointers to its cards and installs handlers on them: destroy the line before its
// cards (the destructor removes the handlers).
class Line {
  public:
    enum class Wiring { Open, Loopback, Pair, Bridge };
    enum class Rate {
        Unlimited,  // frames take no time on the line
        FromClock,  // each transmitter's clock programme sets its bit rate
    };
    struct Impairments {
        double bit_error_rate = 0.0;  // chance of each bit of a frame arriving flipped
        double drop_rate = 0.0;       // chance of a whole frame never arriving
        uint64_t seed = 1;            // same seed, same errors
    };
    struct Statistics {
        uint64_t frames_carried = 0;  // reached a receiver (possibly with flipped bits)
        uint64_t frames_dropped = 0;
        uint64_t bits_flipped = 0;
    };
    // Observes every frame a port puts on the line, before impairments (port 0 or 1).
    using Tap = std::function<void(int port, const LineFrame& frame)>;

    static std::unique_ptr<Line> Open(SimCard& card);
    static std::unique_ptr<Line> Loopback(SimCard& card);
    // Null when both are the same card.
    static std::unique_ptr<Line> Pair(SimCard& first, SimCard& second);
    // A far end outside the simulation (for example a socket in the driver host). Each frame
    // the port sends reaches `outgoing` as its bytes in line order without the frame check
    // (aborted frames are not passed on); it is called on the sending card's thread.
    using FarEnd = std::function<void(std::vector<uint8_t> frame)>;
    static std::unique_ptr<Line> Bridge(SimCard& card, FarEnd outgoing);
    // A frame from the far end of a bridge: its bytes in line order, to which the port's own
    // receive settings add a valid frame check. It arrives when the card is next stepped.
    // Impairments do not apply: the far end's own line is what it is. Safe from any thread.
    void SendFromFarEnd(std::vector<uint8_t> frame);
    ~Line();
    Line(const Line&) = delete;
    Line& operator=(const Line&) = delete;

    void SetRate(Rate rate);
    void SetImpairments(const Impairments& impairments);
    void DropNextFrames(unsigned frames);  // fault injection: these frames vanish on the line
    void SetTap(Tap tap);

    // Steps every card on the line by this much virtual time.
    void Advance(uint64_t nanoseconds);
    // Steps until no card has anything scheduled, or until the limit; false: still busy.
    bool RunUntilIdle(uint64_t limit_nanoseconds);
    uint64_t NowNanoseconds() const { return now_ns_; }
    Statistics Stats() const;

  private:
    Line(Wiring wiring, std::vector<SimCard*> cards);
    void Carry(int from, const LineFrame& frame);
    bool Impair(const LineFrame& frame, LineFrame* arriving);  // false: dropped
    void WireModemLines(size_t from);
    void StepCardsTo(uint64_t time_ns);
    uint64_t NextEventTime() const;

    Wiring wiring_;
    std::vector<SimCard*> cards_;
    // Carry() runs in the step of whichever card sent the frame, possibly on its own thread
    // under its own lock, so what it changes here is guarded by carry_lock_.
    mutable std::mutex carry_lock_;
    Impairments impairments_;
    Prng prng_{1};
    unsigned drops_to_inject_ = 0;
    Tap tap_;
    FarEnd far_end_;
    Statistics stats_;
    uint64_t now_ns_ = 0;
};

}  // namespace qorval::sim
