// The frame engine's cost per frame: a frame written into card memory, sent and received by the
// simulated card through internal loopback, and read back out, for several frame sizes. The
// copies use 128-byte blocks with a board register read after each, so the figure includes the
// register traffic the driver makes per frame, not only the byte moves.

#include <benchmark/benchmark.h>

#include <vector>

#include "driver/driver_context.h"
#include "driver/frame_engine.h"
#include "driver/port_init.h"
#include "sim/sim_card.h"

namespace {

void BM_FrameRoundTrip(benchmark::State& state) {
    const auto size = static_cast<uint32_t>(state.range(0));
    qorval::sim::SimCard card;
    wyvel32::DriverContext driver;
    wyvel32::MutexInterruptSync sync;
    wyvel32::PortContext port;
    port.driver = &driver;
    port.hardware = &card;
    port.interrupt_sync = &sync;
    wyvel32::PortConfig& c = port.config;
    c.Card = wyvel32::kCardTypePci;
    c.Interface = 1;
    c.TXCMode = 2;
    c.Divisor = 126;
    c.Dpll = 1;
    c.CRCPreset = 2;
    c.CrcUsed = 1;
    c.RxBuffSize = c.TxBuffSize = 1024;
    c.RxBuffers = c.TxBuffers = 100;
    c.TxClock = 2;
    c.MinFlags = 1;
    c.LoopBack = 1;
    card.SetInterruptHandler([&port] { wyvel32::ServiceInterrupt(port); });
    if (wyvel32::OpenTimeInitialisation(port) != wyvel32::STATUS_SUCCESS) {
        state.SkipWithError("open failed");
        return;
    }
    std::vector<uint8_t> frame(size, 0x5A), back(2048);
    for (auto _ : state) {
        port.TransferBuffer = frame.data();
        port.TransferLength = size;
        if (!wyvel32::WriteFrame(port)) {
            state.SkipWithError("no transmit buffer");
            return;
        }
        while (card.InterruptAsserted() || card.NextEventTime() != qorval::sim::SimCard::kNever) {
            if (card.InterruptAsserted()) {
                wyvel32::ServiceInterrupt(port);
            } else {
                card.RunUntilIdle(1'000'000'000ull);
            }
        }
        port.ReadBuffer = back.data();
        port.ReadLength = static_cast<uint32_t>(back.size());
        if (!wyvel32::ReadFrame(port) || port.ReadLength != size) {
            state.SkipWithError("frame lost");
            return;
        }
    }
    state.SetBytesProcessed(static_cast<int64_t>(state.iterations()) * size);
    state.SetItemsProcessed(state.iterations());
}
BENCHMARK(BM_FrameRoundTrip)->Arg(16)->Arg(128)->Arg(1020);

}  // namespace

BENCHMARK_MAIN();
