// Frames through the port access library across a null-modem pair of an in-process driver
// host: 64-byte frames per second one way and both ways at once, at unlimited line rate (what
// the software carries) and at the card's fastest line, 20 Mbit/s (Divisor 0 with the 20 MHz
// oscillator, written to both port keys before the ports open), next to the frames that line
// can carry; and the round trip of one frame (put on port 1 until got on port 2) as median and
// 99th percentile. Next to them, the cost of a QORVAL_GetBufferCount call (from the ring's
// memory), of one request through the ring (a modem-control read), and as their yardstick a
// bare ping-pong of request-sized messages over a SOCK_SEQPACKET socket pair between two
// threads of this process.

#include <benchmark/benchmark.h>
#include <sys/socket.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstdio>
#include <thread>
#include <vector>

#include "bench/library_streams.h"
#include "host/testing/in_process_host.h"
#include "portaccess/qorval32.h"

namespace {

using qorval::bench::kStreamFrameSize;
using qorval::bench::LineRate;

constexpr uint32_t kFrameSize = kStreamFrameSize;
constexpr uint32_t kFramesPerBatch = 2000;

QORVAL_HANDLE g_port1 = 0;
QORVAL_HANDLE g_port2 = 0;
qorval::host::testing::InProcessHost* g_host = nullptr;

void SetRateOrSkip(benchmark::State& state, LineRate rate) {
    if (!qorval::bench::UseRate(*g_host, rate)) {
        state.SkipWithError("the host did not change the line rate");
    } else if (rate == LineRate::TwentyMbps) {
        state.counters["line_fps"] = qorval::bench::LineCapacityFramesPerSecond(*g_host, 1);
    }
}

// Median and 99th percentile of a set of samples, as counters.
void ReportPercentiles(benchmark::State& state, std::vector<double>& micros) {
    std::sort(micros.begin(), micros.end());
    if (!micros.empty()) {
        state.counters["median_us"] = micros[micros.size() / 2];
        state.counters["p99_us"] = micros[std::min(micros.size() - 1, micros.size() * 99 / 100)];
    }
}

// Writes `frames` frames on `from` while this thread reads them on `to`; false when a call
// failed or a frame was lost or came back wrong.
bool Stream(QORVAL_HANDLE from, QORVAL_HANDLE to, uint32_t frames) {
    return qorval::bench::StreamFrames(from, to, {.frames = frames}).Whole();
}

// Argument: 0 unlimited line rate, 1 20 Mbit/s (counter line_fps: what that line carries).
void BM_FramesOneWay(benchmark::State& state) {
    SetRateOrSkip(state, static_cast<LineRate>(state.range(0)));
    for (auto _ : state) {
        if (!Stream(g_port1, g_port2, kFramesPerBatch)) {
            state.SkipWithError("stream failed");
            return;
        }
    }
    state.SetItemsProcessed(static_cast<int64_t>(state.iterations()) * kFramesPerBatch);
}
BENCHMARK(BM_FramesOneWay)->Arg(0)->Arg(1)->Unit(benchmark::kMillisecond)->UseRealTime();

// Items are the frames of one direction, so items_per_second is the rate each way.
void BM_FramesEachWayAtOnce(benchmark::State& state) {
    SetRateOrSkip(state, static_cast<LineRate>(state.range(0)));
    for (auto _ : state) {
        std::atomic<bool> back_ok{true};
        std::thread back([&] { back_ok = Stream(g_port2, g_port1, kFramesPerBatch); });
        const bool forth_ok = Stream(g_port1, g_port2, kFramesPerBatch);
        back.join();
        if (!forth_ok || !back_ok.load()) {
            state.SkipWithError("stream failed");
            return;
        }
    }
    state.SetItemsProcessed(static_cast<int64_t>(state.iterations()) * kFramesPerBatch);
}
BENCHMARK(BM_FramesEachWayAtOnce)->Arg(0)->Arg(1)->Unit(benchmark::kMillisecond)->UseRealTime();

void BM_RoundTrip(benchmark::State& state) {
    SetRateOrSkip(state, LineRate::Unlimited);
    std::vector<double> micros;
    uint8_t frame[kFrameSize] = {};
    uint8_t buffer[1024];
    for (auto _ : state) {
        const auto start = std::chrono::steady_clock::now();
        if (QORVAL_PutData(g_port1, frame, kFrameSize) != QORVAL_OK) {
            state.SkipWithError("put failed");
            return;
        }
        uint32_t length = 0;
        while (length == 0) {
            if (QORVAL_GetData(g_port2, buffer, sizeof(buffer), &length) != QORVAL_OK) {
                state.SkipWithError("get failed");
                return;
            }
        }
        micros.push_back(
            std::chrono::duration<double, std::micro>(std::chrono::steady_clock::now() - start)
                .count());
    }
    ReportPercentiles(state, micros);
}
BENCHMARK(BM_RoundTrip)->Unit(benchmark::kMicrosecond)->UseRealTime()->Iterations(20000);

// Times each call of `call` (false: it failed) and reports median and 99th percentile.
template <typename Call>
void TimeEachCall(benchmark::State& state, const char* what, Call&& call) {
    std::vector<double> micros;
    micros.reserve(static_cast<size_t>(state.max_iterations));
    for (auto _ : state) {
        const auto start = std::chrono::steady_clock::now();
        if (!call()) {
            state.SkipWithError(what);
            return;
        }
        micros.push_back(
            std::chrono::duration<double, std::micro>(std::chrono::steady_clock::now() - start)
                .count());
    }
    ReportPercentiles(state, micros);
}

// QORVAL_GetBufferCount, answered from the ring's memory. Port 2 holds one frame throughout,
// so no call is an empty poll of a quiet port (which would rest until something changes).
void BM_GetBufferCountFromMemory(benchmark::State& state) {
    const uint8_t frame[kFrameSize] = {};
    uint16_t waiting = 0;
    uint16_t free = 0;
    if (QORVAL_PutData(g_port1, frame, kFrameSize) != QORVAL_OK) {
        state.SkipWithError("PutData failed");
        return;
    }
    while (QORVAL_GetBufferCount(g_port2, &waiting, &free) == QORVAL_OK && waiting == 0) {
    }
    TimeEachCall(state, "GetBufferCount failed", [&] {
        return QORVAL_GetBufferCount(g_port2, &waiting, &free) == QORVAL_OK && waiting == 1;
    });
    uint8_t buffer[1024];
    uint32_t length = 0;
    (void)QORVAL_GetData(g_port2, buffer, sizeof(buffer), &length);
}
BENCHMARK(BM_GetBufferCountFromMemory)->Unit(benchmark::kMicrosecond)->UseRealTime()->Iterations(200000);

// The reference: a device control of the same size through the ring, as every buffer count
// travelled before (QORVAL_GetModemControl: the driver reads the modem lines).
void BM_DeviceControlOnTheRing(benchmark::State& state) {
    uint16_t lines = 0;
    TimeEachCall(state, "GetModemControl failed",
                 [&] { return QORVAL_GetModemControl(g_port1, &lines) == QORVAL_OK; });
}
BENCHMARK(BM_DeviceControlOnTheRing)->Unit(benchmark::kMicrosecond)->UseRealTime()->Iterations(50000);

// The yardstick: a 24-byte request and a 24-byte answer (the device socket's request header and
// a buffer-count reply) over a SOCK_SEQPACKET pair, the far end a thread that answers each
// message at once.
void BM_BareSeqpacketPingPong(benchmark::State& state) {
    int pair[2];
    if (::socketpair(AF_UNIX, SOCK_SEQPACKET | SOCK_CLOEXEC, 0, pair) != 0) {
        state.SkipWithError("socketpair failed");
        return;
    }
    std::thread echo([fd = pair[1]] {
        uint8_t message[64];
        ssize_t got;
        while ((got = ::recv(fd, message, sizeof(message), 0)) > 0) {
            if (::send(fd, message, static_cast<size_t>(got), MSG_NOSIGNAL) != got) {
                break;
            }
        }
    });
    std::vector<double> micros;
    micros.reserve(static_cast<size_t>(state.max_iterations));
    uint8_t message[24] = {};
    for (auto _ : state) {
        const auto start = std::chrono::steady_clock::now();
        if (::send(pair[0], message, sizeof(message), MSG_NOSIGNAL) != sizeof(message) ||
            ::recv(pair[0], message, sizeof(message), 0) != sizeof(message)) {
            state.SkipWithError("ping-pong failed");
            break;
        }
        micros.push_back(
            std::chrono::duration<double, std::micro>(std::chrono::steady_clock::now() - start)
                .count());
    }
    ::shutdown(pair[0], SHUT_RDWR);
    echo.join();
    ::close(pair[0]);
    ::close(pair[1]);
    ReportPercentiles(state, micros);
}
BENCHMARK(BM_BareSeqpacketPingPong)->Unit(benchmark::kMicrosecond)->UseRealTime()->Iterations(50000);

}  // namespace

int main(int argc, char** argv) {
    benchmark::Initialize(&argc, argv);
    qorval::host::BusOptions options;
    options.ports = 2;
    options.unlimited_rate = true;
    qorval::host::testing::InProcessHost host(options);
    g_host = &host;
    if (!host.Error().empty()) {
        std::fprintf(stderr, "host did not start: %s\n", host.Error().c_str());
        return 1;
    }
    // Divisor 0: the 20 MHz oscillator undivided, the card's fastest line; taken at the open.
    if (!host.SetPortValue(1, "Divisor", 0) || !host.SetPortValue(2, "Divisor", 0)) {
        std::fprintf(stderr, "cannot write the port keys\n");
        return 1;
    }
    int status = 1;
    if (QORVAL_PortOpen(QORVAL_DRIVER_WYVEL32, 1, &g_port1) != QORVAL_OK ||
        QORVAL_PortOpen(QORVAL_DRIVER_WYVEL32, 2, &g_port2) != QORVAL_OK) {
        std::fprintf(stderr, "ports did not open\n");
    } else {
        benchmark::RunSpecifiedBenchmarks();
        benchmark::Shutdown();
        status = 0;
    }
    (void)QORVAL_PortClose(g_port1);
    (void)QORVAL_PortClose(g_port2);
    return status;
}
