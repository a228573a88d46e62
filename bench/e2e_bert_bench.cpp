// The tester end to end: port 1 testing, port 2 repeating, through the real port access
// library against a driver host in this process.
//
//  BM_BertPairUnlimited  frames per second the tester sends and gets back when the line takes
//                        no time, so the workers, the library and the host set the pace.
//  BM_BertPairPacedLine  on a line paced at the clock programme's rate: the Tx data rate the
//                        tester reports (its window's 3-second figure) and the rate measured
//                        over the whole run, each against the line's payload capacity (the bit
//                        rate less flags, frame check and bit stuffing, as the simulated line
//                        accounts a frame of the pattern).
#include <benchmark/benchmark.h>

#include <chrono>
#include <string>
#include <thread>
#include <vector>

#include "bert/bert_session.h"
#include "bert/pattern.h"
#include "host/testing/in_process_host.h"
#include "sim/crc.h"
#include "sim/iusc_registers.h"
#include "sim/line_timing.h"

namespace {

using qorval::bert::BertSession;
using qorval::host::testing::InProcessHost;
using Clock = std::chrono::steady_clock;

// Both ends open, the repeater repeating and the tester sending; null with the reason set.
struct Pair {
    explicit Pair(bool unlimited) : host(Options(unlimited)) {}
    static qorval::host::BusOptions Options(bool unlimited) {
        qorval::host::BusOptions options;
        options.unlimited_rate = unlimited;
        return options;
    }
    // divisor: the ports' Divisor of the 20 MHz oscillator (126 the default programme, 0 the
    // card's fastest line, 20 Mbit/s); negative keeps the ports' keys as they are.
    bool Start(benchmark::State& state, int divisor = -1) {
        if (!host.Error().empty()) {
            state.SkipWithError(host.Error().c_str());
            return false;
        }
        if (divisor >= 0 && !(host.SetPortValue(1, "Divisor", static_cast<uint32_t>(divisor)) &&
                              host.SetPortValue(2, "Divisor", static_cast<uint32_t>(divisor)))) {
            state.SkipWithError("cannot write the port keys");
            return false;
        }
        repeater.Port().SelectPort(QORVAL_DRIVER_WYVEL32, 2);
        tester.Port().SelectPort(QORVAL_DRIVER_WYVEL32, 1);
        if (repeater.OpenPort() != QORVAL_OK || tester.OpenPort() != QORVAL_OK) {
            state.SkipWithError("the host's ports did not open");
            return false;
        }
        repeater.SetRepeatMode(true);
        tester.StartStop();
        return true;
    }
    ~Pair() {
        tester.Shutdown();
        repeater.Shutdown();
    }
    uint32_t Tx() const { return tester.Counters().txFrames.load(); }
    uint32_t Rx() const { return tester.Counters().rxFrames.load(); }

    InProcessHost host;
    BertSession repeater, tester;
};

double Seconds(Clock::duration d) {
    return std::chrono::duration<double>(d).count();
}

void BM_BertPairUnlimited(benchmark::State& state) {
    Pair pair(true);
    if (!pair.Start(state)) {
        return;
    }
    constexpr uint32_t kFramesPerIteration = 5000;
    const uint32_t tx0 = pair.Tx(), rx0 = pair.Rx();
    for (auto _ : state) {
        const uint32_t target = pair.Rx() + kFramesPerIteration;
        while (pair.Rx() < target) {
            std::this_thread::sleep_for(std::chrono::milliseconds(1));
        }
    }
    state.counters["tx_frames_per_s"] =
        benchmark::Counter(pair.Tx() - tx0, benchmark::Counter::kIsRate);
    state.counters["rx_frames_per_s"] =
        benchmark::Counter(pair.Rx() - rx0, benchmark::Counter::kIsRate);
    state.counters["bit_errors"] = pair.tester.Counters().bitErrors.load();
}
BENCHMARK(BM_BertPairUnlimited)->Unit(benchmark::kMillisecond)->UseRealTime()->Iterations(10);

// Payload bits per second the line can carry with frames of the pattern, from the card's clock
// programme and preamble setting, with the ports' default frame check (CRC-32).
double PayloadCapacity(qorval::sim::SimCard& card) {
    std::vector<uint8_t> wire(qorval::bert::kPattern.begin(),
                              qorval::bert::kPattern.begin() + qorval::bert::kFrameSize);
    const auto check = qorval::sim::FrameCheck(qorval::sim::CrcKind::Crc32, true, wire);
    wire.insert(wire.end(), check.begin(), check.end());
    const uint16_t ccr = card.PeekReg16(qorval::sim::reg::CCR);
    const double frameBits = static_cast<double>(qorval::sim::FrameBitsOnLine(ccr, wire));
    return card.TransmitBitRate() * (qorval::bert::kFrameSize * 8.0) / frameBits;
}

void BM_BertPairPacedLine(benchmark::State& state) {
    Pair pair(false);
    if (!pair.Start(state, static_cast<int>(state.range(0)))) {
        return;
    }
    qorval::sim::SimCard* card = pair.host.Host().bus().CardOfPort(1);
    const double capacity = PayloadCapacity(*card);
    // The tester's window: its 100 ms timer computes the rates every 3 seconds. The first
    // figure includes the burst that fills the empty transmit ring, so it is left out.
    constexpr auto kTick = std::chrono::milliseconds(100);
    auto next = Clock::now();
    auto tick = [&] {
        next += kTick;
        std::this_thread::sleep_until(next);
        pair.tester.Tick();
    };
    for (int i = 0; i < 30; ++i) {
        tick();
    }
    const auto start = Clock::now();
    const uint32_t tx0 = pair.Tx();
    double reportedSum = 0;
    int reports = 0;
    for (auto _ : state) {
        for (int i = 0; i < 30; ++i) {
            tick();
        }
        reportedSum += std::stod(pair.tester.Display().txRate);
        ++reports;
    }
    const double measured =
        (pair.Tx() - tx0) * qorval::bert::kFrameSize * 8.0 / Seconds(Clock::now() - start);
    const double reported = reports ? reportedSum / reports : 0;
    state.counters["line_bit_rate"] = card->TransmitBitRate();
    state.counters["payload_capacity_bps"] = capacity;
    state.counters["reported_tx_bps"] = reported;
    state.counters["measured_tx_bps"] = measured;
    state.counters["reported_fill"] = reported / capacity;
    state.counters["measured_fill"] = measured / capacity;
    const auto& c = pair.tester.Counters();
    state.counters["errors"] = c.bitErrors.load() + c.crcErrors.load() + c.overrunErrors.load() +
                               c.lineErrors.load() + c.otherErrors.load();
    state.counters["sync_losses"] = c.syncLosses.load();
    state.counters["in_sync"] = pair.tester.Display().status == "In Sync" ? 1 : 0;
}
// Argument: the ports' Divisor, 126 (157480 bit/s) and 0 (20 Mbit/s).
BENCHMARK(BM_BertPairPacedLine)
    ->Arg(126)
    ->Arg(0)
    ->Unit(benchmark::kMillisecond)
    ->UseRealTime()
    ->Iterations(5);

}  // namespace

BENCHMARK_MAIN();
