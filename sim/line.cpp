// Wiring, impairments and lockstep time of a line between simulated cards.

#include "sim/line.h"

#include <algorithm>

namespace qorval::sim {
namespace {

// A guard against a line that never settles at one instant (unlimited rate, a driver that
// refills its lists from its interrupt handler without end).
constexpr unsigned kMaxStepsPerAdvance = 1'000'000;

}  // namespace

std::unique_ptr<Line> Line::Open(SimCard& card) {
    return std::unique_ptr<Line>(new Line(Wiring::Open, {&card}));
}

std::unique_ptr<Line> Line::Loopback(SimCard& card) {
    return std::unique_ptr<Line>(new Line(Wiring::Loopback, {&card}));
}

std::unique_ptr<Line> Line::Pair(SimCard& first, SimCard& second) {
    if (&first == &second) {
        return nullptr;
    }
    return std::unique_ptr<Line>(new Line(Wiring::Pair, {&first, &second}));
}

std::unique_ptr<Line> Line::Bridge(SimCard& card, FarEnd outgoing) {
    auto line = std::unique_ptr<Line>(new Line(Wiring::Bridge, {&card}));
    line->far_end_ = std::move(outgoing);
    return line;
}

void Line::SendFromFarEnd(std::vector<uint8_t> frame) {
    if (wiring_ != Wiring::Bridge) {
        return;
    }
    {
        std::lock_guard guard(carry_lock_);
        ++stats_.frames_carried;
    }
    cards_[0]->Receive(LineFrame{.wire = std::move(frame), .check_by_receiver = true});
}

Line::Line(Wiring wiring, std::vector<SimCard*> cards) : wiring_(wiring), cards_(std::move(cards)) {
    for (SimCard* card : cards_) {
        now_ns_ = std::max(now_ns_, card->NowNanoseconds());
    }
    for (size_t i = 0; i < cards_.size(); ++i) {
        cards_[i]->SetTransmitSink(
            [this, i](const LineFrame& frame) { Carry(static_cast<int>(i), frame); });
        cards_[i]->SetOutputLinesChangedHandler([this, i] { WireModemLines(i); });
    }
    for (size_t i = 0; i < cards_.size(); ++i) {
        WireModemLines(i);
    }
}

Line::~Line() {
    for (SimCard* card : cards_) {
        card->SetTransmitSink(nullptr);
        card->SetOutputLinesChangedHandler(nullptr);
    }
}

void Line::SetRate(Rate rate) {
    for (SimCard* card : cards_) {
        card->SetClocked(rate == Rate::FromClock);
    }
}

void Line::SetImpairments(const Impairments& impairments) {
    std::lock_guard guard(carry_lock_);
    impairments_ = impairments;
    prng_ = Prng(impairments.seed);
}

void Line::DropNextFrames(unsigned frames) {
    std::lock_guard guard(carry_lock_);
    drops_to_inject_ = frames;
}

void Line::SetTap(Tap tap) {
    std::lock_guard guard(carry_lock_);
    tap_ = std::move(tap);
}

Line::Statistics Line::Stats() const {
    std::lock_guard guard(carry_lock_);
    return stats_;
}

void Line::WireModemLines(size_t from) {
    // A port's DTR appears as the far end's DSR and DCD, its RTS as the far end's CTS; a
    // loopback plug wires a port to itself. An open port's inputs are left to the test. Only
    // the port whose outputs changed is read: this runs on that port's own thread.
    const ModemOutputs out = cards_[from]->GetModemOutputs();
    if (wiring_ == Wiring::Loopback) {
        cards_[0]->DriveInputsFrom(out);
    } else if (wiring_ == Wiring::Pair) {
        cards_[1 - from]->DriveInputsFrom(out);
    }
}

void Line::Carry(int from, const LineFrame& frame) {
    SimCard* to = nullptr;
    if (wiring_ == Wiring::Loopback) {
        to = cards_[0];
    } else if (wiring_ == Wiring::Pair) {
        to = cards_[1 - from];
    }
    Tap tap;
    LineFrame arriving;
    {
        std::lock_guard guard(carry_lock_);
        tap = tap_;
        if (to != nullptr && !Impair(frame, &arriving)) {
            to = nullptr;
        }
    }
    // The tap, the far end and the receiving card are called outside the lock, so they may
    // use the line.
    if (tap) {
        tap(from, frame);
    }
    if (wiring_ == Wiring::Bridge && far_end_ && !frame.aborted) {
        const auto body = frame.wire.size() - std::min(frame.check_bytes, frame.wire.size());
        far_end_(std::vector<uint8_t>(frame.wire.begin(), frame.wire.begin() + body));
    }
    if (to != nullptr) {
        to->Receive(std::move(arriving));
    }
}

bool Line::Impair(const LineFrame& frame, LineFrame* arriving) {
    if (drops_to_inject_ > 0 ||
        (impairments_.drop_rate > 0.0 && prng_.Uniform() < impairments_.drop_rate)) {
        if (drops_to_inject_ > 0) {
            --drops_to_inject_;
        }
        ++stats_.frames_dropped;
        return false;
    }
    *arriving = frame;
    if (impairments_.bit_error_rate > 0.0) {
        for (uint8_t& byte : arriving->wire) {
            for (int bit = 0; bit < 8; ++bit) {
                if (prng_.Uniform() < impairments_.bit_error_rate) {
                    byte ^= static_cast<uint8_t>(1u << bit);
                    ++stats_.bits_flipped;
                }
            }
        }
    }
    ++stats_.frames_carried;
    return true;
}

uint64_t Line::NextEventTime() const {
    uint64_t next = SimCard::kNever;
    for (const SimCard* card : cards_) {
        next = std::min(next, card->NextEventTime());
    }
    return next;
}

void Line::StepCardsTo(uint64_t time_ns) {
    // A frame one card finishes at this instant may arrive at the other at the same instant,
    // so the cards are stepped again until neither has anything left up to the time.
    for (unsigned steps = 0; steps < kMaxStepsPerAdvance; ++steps) {
        for (SimCard* card : cards_) {
            card->StepTo(time_ns, true);
        }
        if (NextEventTime() > time_ns) {
            break;
        }
    }
    now_ns_ = std::max(now_ns_, time_ns);
}

void Line::Advance(uint64_t nanoseconds) {
    const uint64_t target = now_ns_ + nanoseconds;
    for (uint64_t next = NextEventTime(); next <= target; next = NextEventTime()) {
        StepCardsTo(std::max(next, now_ns_));
        if (next <= now_ns_ && NextEventTime() <= now_ns_) {
            break;  // a card keeps itself busy at one instant; StepTo has reported it
        }
    }
    StepCardsTo(target);
}

bool Line::RunUntilIdle(uint64_t limit_nanoseconds) {
    const uint64_t limit = now_ns_ + limit_nanoseconds;
    for (unsigned steps = 0; steps < kMaxStepsPerAdvance; ++steps) {
        const uint64_t next = NextEventTime();
        if (next == SimCard::kNever) {
            return true;
        }
        if (next > limit) {
            return false;
        }
        StepCardsTo(std::max(next, now_ns_));
    }
    return NextEventTime() == SimCard::kNever;
}

}  // namespace qorval::sim
