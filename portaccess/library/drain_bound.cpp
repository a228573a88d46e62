#include "portaccess/library/drain_bound.h"

#include <algorithm>
#include <charconv>
#include <cstring>
#include <string_view>

namespace qorval::library {

namespace {

// The PortState codes of the transmit clock and of the generator's input.
constexpr uint8_t kTxClockBrg = 2;
constexpr uint8_t kBrgFromOscillator = 0;
// Bytes a frame takes on the line beyond its data: an opening flag and a 32-bit frame check.
constexpr double kFrameOverheadBytes = 5.0;
// A zero bit stuffed after every five ones, at worst.
constexpr double kWorstStuffing = 6.0 / 5.0;

// The oscillator text ("20.000") as Hz; 0 when it does not start with a number.
double OscillatorHz(const PortInfo& info) {
    const char* text = info.oscillator;
    const size_t length = strnlen(text, sizeof info.oscillator);
    std::string_view view(text, length);
    while (!view.empty() && (view.front() == ' ' || view.front() == '\t')) {
        view.remove_prefix(1);
    }
    double mhz = 0.0;
    const auto [end, error] = std::from_chars(view.data(), view.data() + view.size(), mhz);
    (void)end;
    return error == std::errc{} && mhz > 0.0 ? mhz * 1e6 : 0.0;
}

}  // namespace

double TransmitBitsPerSecond(const PortInfo& info, const PortState& state) {
    if (state.txClock != kTxClockBrg || state.brgSource != kBrgFromOscillator) {
        return 0.0;
    }
    return OscillatorHz(info) / (static_cast<double>(state.divisor) + 1.0);
}

std::chrono::milliseconds NoProgressLimitFor(const PortInfo& info, const PortState& state,
                                             std::chrono::milliseconds floor) {
    const double rate = TransmitBitsPerSecond(info, state);
    if (rate <= 0.0) {
        return floor;
    }
    const double frame_bits = (info.maxTxFrame + kFrameOverheadBytes) * 8.0 * kWorstStuffing;
    const double wait_ms = 2.0 * frame_bits / rate * 1000.0;
    if (wait_ms >= static_cast<double>(kLongestDrainWait.count())) {
        return kLongestDrainWait;
    }
    return std::max(floor, std::chrono::milliseconds(static_cast<int64_t>(wait_ms) + 1));
}

}  // namespace qorval::library
