// Throughput of the simulated card: whole frames through transmit DMA, a paired line and
// receive DMA at unlimited rate, and the frame check alone.
#include <benchmark/benchmark.h>

#include <vector>

#include "sim/crc.h"
#include "sim/iusc_registers.h"
#include "sim/line.h"
#include "sim/sim_card.h"

using namespace qorval::sim;

namespace {

constexpr uint32_t kTxEntry = 0x0000;
constexpr uint32_t kRxEntry = 0x0010;
constexpr uint32_t kTxBuffer = 0x1000;
constexpr uint32_t kRxBuffer = 0x2000;

void Put16(std::span<uint8_t> m, uint32_t at, uint16_t v) {
    m[at] = static_cast<uint8_t>(v);
    m[at + 1] = static_cast<uint8_t>(v >> 8);
}

void Put32(std::span<uint8_t> m, uint32_t at, uint32_t v) {
    Put16(m, at, static_cast<uint16_t>(v));
    Put16(m, at + 2, static_cast<uint16_t>(v >> 16));
}

void Programme(SimCard& card) {
    card.WriteBoard(board::kControl, board::kEnable);
    card.WriteReg16(reg::CCAR, 0x000F);
    card.WriteReg16(reg::CMR, 0x0606);
    card.WriteReg16(reg::RDMR, 0xF200);
    card.WriteReg16(reg::TDMR, 0xF000);
    card.WriteReg16(reg::TMR, 0x1702);
    card.WriteReg16(reg::RMR, 0x1702);
    card.WriteReg16(reg::RCLR, 0xFFFF);
}

// One entry each way, each linked to itself; the bench refills both counts per frame.
void SendOneFrame(SimCard& tx, SimCard& rx, Line& line, uint16_t length) {
    Put16(tx.CardMemory(), kTxEntry + 4, length);
    Put16(rx.CardMemory(), kRxEntry + 4, 0x2000);
    rx.WriteReg16(reg::NRARL, kRxEntry);
    rx.WriteReg16(reg::DCAR, 0x7300);
    tx.WriteReg16(reg::NTARL, kTxEntry);
    tx.WriteReg16(reg::DCAR, 0x7100);
    line.RunUntilIdle(1'000'000'000);
}

void BM_FrameThroughPair(benchmark::State& state) {
    SimCard a, b;
    Programme(a);
    Programme(b);
    Put32(a.CardMemory(), kTxEntry, kTxBuffer);
    Put32(a.CardMemory(), kTxEntry + 12, kTxEntry);
    Put32(b.CardMemory(), kRxEntry, kRxBuffer);
    Put32(b.CardMemory(), kRxEntry + 12, kRxEntry);
    auto line = Line::Pair(a, b);
    const auto length = static_cast<uint16_t>(state.range(0));
    for (auto _ : state) {
        SendOneFrame(a, b, *line, length);
    }
    if (b.Statistics().frames_received != static_cast<uint64_t>(state.iterations())) {
        state.SkipWithError("frames did not reach the far end");
    }
    state.SetBytesProcessed(static_cast<int64_t>(state.iterations()) * length);
    state.SetItemsProcessed(static_cast<int64_t>(state.iterations()));
}
BENCHMARK(BM_FrameThroughPair)->Arg(64)->Arg(1024)->Arg(4096);

void BM_FrameCheck(benchmark::State& state) {
    const std::vector<uint8_t> frame(static_cast<size_t>(state.range(0)), 0x5A);
    const auto kind = state.range(1) != 0 ? CrcKind::Crc32 : CrcKind::Ccitt16;
    for (auto _ : state) {
        benchmark::DoNotOptimize(FrameCheck(kind, true, frame));
    }
    state.SetBytesProcessed(static_cast<int64_t>(state.iterations()) * state.range(0));
}
BENCHMARK(BM_FrameCheck)->Args({1024, 0})->Args({1024, 1});

}  // namespace

BENCHMARK_MAIN();
