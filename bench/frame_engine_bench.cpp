// The frame engine's cost per frame: a frame written into card memory, sent and received by the
// simulated card through internal loopback (or written on one port and read on the other end of
// a null-modem pair at unlimited line rate), and read back out, for several frame sizes. The
// copies use 128-byte blocks with a board register read after each, so the figure includes the
// register traffic the driver makes per frame, not only the byte moves. Stalls cost no real
// time on the simulated card.

#include <benchmark/benchmark.h>

#include <vector>

#include "driver/driver_context.h"
#include "driver/frame_engine.h"
#include "driver/port_init.h"
#include "sim/line.h"
#include "sim/sim_card.h"

namespace {

// A port of a simulated card with the default configuration, CRC-32 and 100 + 100 buffers; the
// receive buffers have room for a 1024-byte frame and its CRC.
struct BenchPort {
    qorval::sim::SimCard card;
    wyvel32::MutexInterruptSync sync;
    wyvel32::PortContext port;

    explicit BenchPort(wyvel32::DriverContext& driver, bool loopback) {
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
        c.TxBuffSize = 1024;
        c.RxBuffSize = 1028;
        c.RxBuffers = c.TxBuffers = 100;
        c.TxClock = 2;
        c.MinFlags = 1;
        c.LoopBack = loopback ? 1 : 0;
        card.SetInterruptHandler([this] { wyvel32::ServiceInterrupt(port); });
    }
    bool Open() { return wyvel32::OpenTimeInitialisation(port) == wyvel32::STATUS_SUCCESS; }
    bool Write(std::vector<uint8_t>& frame) {
        port.TransferBuffer = frame.data();
        port.TransferLength = static_cast<uint32_t>(frame.size());
        return wyvel32::WriteFrame(port);
    }
    bool Read(std::vector<uint8_t>& back, size_t expected) {
        port.ReadBuffer = back.data();
        port.ReadLength = static_cast<uint32_t>(back.size());
        return wyvel32::ReadFrame(port) && port.ReadLength == expected;
    }
};

void BM_FramePair(benchmark::State& state) {
    const auto size = static_cast<size_t>(state.range(0));
    wyvel32::DriverContext driver;
    BenchPort sender(driver, false);
    BenchPort receiver(driver, false);
    auto line = qorval::sim::Line::Pair(sender.card, receiver.card);
    line->SetRate(qorval::sim::Line::Rate::Unlimited);
    if (!sender.Open() || !receiver.Open()) {
        state.SkipWithError("open failed");
        return;
    }
    std::vector<uint8_t> frame(size, 0x5A), back(2048);
    for (auto _ : state) {
        if (!sender.Write(frame)) {
            state.SkipWithError("no transmit buffer");
            return;
        }
        line->RunUntilIdle(1'000'000'000ull);
        if (!receiver.Read(back, size)) {
            state.SkipWithError("frame lost");
            return;
        }
    }
    state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * size));
    state.SetItemsProcessed(state.iterations());
}
BENCHMARK(BM_FramePair)->Arg(64)->Arg(511)->Arg(1024);

void BM_FrameRoundTrip(benchmark::State& state) {
    const auto size = static_cast<uint32_t>(state.range(0));
    wyvel32::DriverContext driver;
    BenchPort bench(driver, true);
    qorval::sim::SimCard& card = bench.card;
    wyvel32::PortContext& port = bench.port;
    if (!bench.Open()) {
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
