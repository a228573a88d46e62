// The analyser end to end at full IUSC speed: a driver host in this process with its pair
// paced at 20 Mbit/s (Divisor 0 with the 20 MHz oscillator, written to both port keys before
// the ports open; port 2 restarted with a receive ring of the benchmark's argument), a sender on
// port 1 that keeps the line as full of 64-byte frames as it can, as the tester's transmit worker
// does (or sends at a given frame rate), and the analyser engine capturing port 2 through the real
// library with a hexadecimal formatted log on. Counters: frames sent and received, frames
// lost, the line's frame rate, and the processor time of the analyser's thread and of the
// whole process (host, sender and analyser).
#include <benchmark/benchmark.h>
#include <sys/resource.h>

#include <atomic>
#include <chrono>
#include <ctime>
#include <thread>
#include <vector>

#include "analyser/analyser_app.h"
#include "analyser/idle_rest.h"
#include "analyser/pcapng_writer.h"
#include "analyser/tests/recording_ui.h"
#include "host/server/control_commands.h"
#include "host/testing/in_process_host.h"
#include "portaccess/qorval32.h"
#include "sim/iusc_registers.h"
#include "sim/line_timing.h"

namespace {

using namespace qorval::analyser;
using qorval::host::testing::InProcessHost;
using Clock = std::chrono::steady_clock;

constexpr uint32_t kFrameBytes = 64;
constexpr uint32_t kFramesPerIteration = 100'000;
constexpr uint32_t kRxBufferSize = 128;  // a 64-byte frame and its check, with room to spare

double CpuSeconds(clockid_t clock) {
    timespec now{};
    clock_gettime(clock, &now);
    return static_cast<double>(now.tv_sec) + static_cast<double>(now.tv_nsec) * 1e-9;
}

// Sends `frames` frames, each as soon as a transmit buffer is free, or no sooner than its turn
// at `perSecond` frames a second (0: no limit); counts those accepted. With `fillCounted` every
// buffer a count reported free is filled before the next count (as the tester's transmit
// worker does), else the count is asked before every frame.
void Send(QORVAL_HANDLE handle, uint32_t frames, uint32_t perSecond, bool fillCounted,
          std::atomic<uint32_t>& accepted) {
    std::vector<uint8_t> frame(kFrameBytes);
    const auto start = Clock::now();
    uint16_t free = 0;
    for (uint32_t i = 0; i < frames; ++i) {
        if (perSecond != 0) {
            std::this_thread::sleep_until(
                start + std::chrono::microseconds(uint64_t{i} * 1'000'000 / perSecond));
        }
        frame[0] = static_cast<uint8_t>(i);
        uint16_t waiting = 0;
        if (!fillCounted || free == 0) {
            while (QORVAL_GetBufferCount(handle, &waiting, &free) == QORVAL_OK && free == 0) {
                std::this_thread::yield();
            }
        }
        if (QORVAL_PutData(handle, frame.data(), kFrameBytes) == QORVAL_OK) {
            accepted.fetch_add(1, std::memory_order_relaxed);
            free = free > 0 ? free - 1 : 0;
        } else {
            free = 0;  // the count was stale
        }
    }
}

// Frames of kFrameBytes a second the card's line carries, with the ports' CRC-32.
double LineFramesPerSecond(qorval::sim::SimCard& card) {
    std::vector<uint8_t> wire(kFrameBytes + 4, 0x55);
    const uint16_t ccr = card.PeekReg16(qorval::sim::reg::CCR);
    return card.TransmitBitRate() / static_cast<double>(qorval::sim::FrameBitsOnLine(ccr, wire));
}

void BM_AnalyserCaptureAt20Mbps(benchmark::State& state) {
    InProcessHost host{qorval::host::BusOptions{}};
    if (!host.Error().empty()) {
        state.SkipWithError(host.Error().c_str());
        return;
    }
    for (unsigned port : {1u, 2u}) {
        if (!host.SetPortValue(port, "Divisor", 0)) {
            state.SkipWithError("cannot write the port key");
            return;
        }
    }
    // The receive ring is sized at device start: restart port 2 with the ring asked for.
    const auto rxBuffers = static_cast<uint32_t>(state.range(0));
    const auto perSecond = static_cast<uint32_t>(state.range(1));
    const bool fillCounted = state.range(2) != 0;
    if (!host.SetPortValue(2, "RxBuffers", rxBuffers) ||
        !host.SetPortValue(2, "RxBuffSize", kRxBufferSize) ||
        qorval::host::RunControlCommand(host.Host().bus(), "stop 2").rfind("ok", 0) != 0 ||
        qorval::host::RunControlCommand(host.Host().bus(), "start 2").rfind("ok", 0) != 0) {
        state.SkipWithError("cannot restart port 2 with its new receive ring");
        return;
    }
    qorval::analyser::testing::RecordingUi ui;  // keeps the window's text as a window would
    ui.choice = PortChoice{QORVAL_DRIVER_WYVEL32, 2};
    CAnalyserApp app(ui, host.Prefix() / "lombex32.ini");
    QORVAL_HANDLE sender = 0;
    if (!app.Startup() || !app.SelectDriverPort() ||
        QORVAL_PortOpen(QORVAL_DRIVER_WYVEL32, 1, &sender) != QORVAL_OK) {
        state.SkipWithError("the host's ports did not open");
        return;
    }
    const double lineRate = host.Host().bus().CardOfPort(1)->TransmitBitRate();
    app.MutableParms().display = 1;
    app.MutableParms().logFile = (host.Prefix() / "capture.log").string();
    app.ToggleLogging();
    // As `lombex32 --capture --log --pcap` runs: every frame also into a capture file.
    PcapngWriter pcap;
    if (!pcap.Open(host.Prefix() / "capture.pcapng")) {
        state.SkipWithError("cannot create the capture file");
        return;
    }
    PcapngCapture pcapCapture(pcap, pcap.AddInterface("Wyvel32 port 2"));
    app.SetFrameObserver(&pcapCapture);
    app.ToggleCapture();

    std::atomic<uint32_t> accepted{0};
    double wall = 0, sendWall = 0, analyserCpu = 0, processCpu = 0;
    uint64_t received = 0;
    for (auto _ : state) {
        const uint32_t before = app.FrameCount();
        const double threadStart = CpuSeconds(CLOCK_THREAD_CPUTIME_ID);
        const double processStart = CpuSeconds(CLOCK_PROCESS_CPUTIME_ID);
        const auto start = Clock::now();
        std::atomic<bool> done{false};
        std::thread worker([&] {
            const auto sendStart = Clock::now();
            Send(sender, kFramesPerIteration, perSecond, fillCounted, accepted);
            sendWall += std::chrono::duration<double>(Clock::now() - sendStart).count();
            done = true;
        });
        // Capture until the sender is done and the line has been quiet for a while.
        // As `lombex32 --capture` does: the library rests in an empty poll, the loop sleeps
        // only where it cannot (IdleRest).
        IdleRest idle([] { std::this_thread::sleep_for(std::chrono::milliseconds(1)); });
        auto quietSince = Clock::now();
        while (!done.load() || Clock::now() - quietSince < std::chrono::milliseconds(200)) {
            app.PollStep();
            idle.AfterPoll(app.LastPollIdle());
            if (!app.LastPollIdle()) {
                quietSince = Clock::now();
            }
        }
        worker.join();
        wall += std::chrono::duration<double>(Clock::now() - start).count();
        analyserCpu += CpuSeconds(CLOCK_THREAD_CPUTIME_ID) - threadStart;
        processCpu += CpuSeconds(CLOCK_PROCESS_CPUTIME_ID) - processStart;
        received += app.FrameCount() - before;
    }
    const uint64_t sent = accepted.load();
    state.counters["line_bit_rate"] = lineRate;
    state.counters["frames_sent"] = static_cast<double>(sent);
    state.counters["frames_received"] = static_cast<double>(received);
    state.counters["frames_lost"] = static_cast<double>(sent - received);
    state.counters["frames_per_s"] = wall > 0 ? static_cast<double>(received) / wall : 0;
    state.counters["sender_frames_per_s"] = sendWall > 0 ? static_cast<double>(sent) / sendWall : 0;
    state.counters["line_frames_per_s"] = LineFramesPerSecond(*host.Host().bus().CardOfPort(1));
    // Share of one processor: the analyser's thread (it spins on its poll step, as the
    // original's idle loop does) and the whole process.
    state.counters["cpu_share_analyser"] = wall > 0 ? analyserCpu / wall : 0;
    state.counters["analyser_cpu_us_per_frame"] =
        received ? analyserCpu * 1e6 / static_cast<double>(received) : 0;
    state.counters["cpu_share_process"] = wall > 0 ? processCpu / wall : 0;
    // Where the missing frames went, from the cards' own counts (read once the line is quiet).
    const auto& tx = host.Host().bus().CardOfPort(1)->Statistics();
    const auto& rx = host.Host().bus().CardOfPort(2)->Statistics();
    state.counters["card1_frames_sent"] = static_cast<double>(tx.frames_sent);
    state.counters["card2_frames_stored"] = static_cast<double>(rx.frames_received);
    state.counters["card2_lost_no_dma"] = static_cast<double>(rx.frames_lost_no_dma);
    (void)QORVAL_PortClose(sender);
    app.ToggleCapture();
    app.SetFrameObserver(nullptr);
    app.Shutdown(false);
}
// Arguments: receive buffers (the port's default 100, and ten times as many), the sender's
// frames a second (0: as fast as the line takes them), and whether the sender fills every
// buffer it counted free (1) or counts before every frame (0).
BENCHMARK(BM_AnalyserCaptureAt20Mbps)
    ->Args({100, 0, 1})
    ->Args({100, 0, 0})
    ->Args({1000, 0, 1})
    ->Args({100, 3000, 1})
    ->Unit(benchmark::kMillisecond)
    ->UseRealTime()
    ->Iterations(3);

// One request's round trip through the library and the host (QORVAL_GetBufferCount on an idle
// port): the analyser's poll step makes two for each frame, the sender two.
void BM_LibraryRoundTrip(benchmark::State& state) {
    InProcessHost host{qorval::host::BusOptions{}};
    QORVAL_HANDLE handle = 0;
    if (!host.Error().empty() || QORVAL_PortOpen(QORVAL_DRIVER_WYVEL32, 1, &handle) != QORVAL_OK) {
        state.SkipWithError("the host's port did not open");
        return;
    }
    uint16_t waiting = 0, free = 0;
    for (auto _ : state) {
        benchmark::DoNotOptimize(QORVAL_GetBufferCount(handle, &waiting, &free));
    }
    (void)QORVAL_PortClose(handle);
}
BENCHMARK(BM_LibraryRoundTrip)->UseRealTime();

}  // namespace

BENCHMARK_MAIN();
