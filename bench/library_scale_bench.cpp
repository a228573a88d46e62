// Frames through the port access library on many port pairs of one in-process driver host at
// once: 1, 2, 4, 8 and 16 pairs (ports 1-2, 3-4, ...), 64-byte frames both ways on every pair,
// at unlimited line rate and at 20 Mbit/s (Divisor 0 on every port). Each iteration streams
// for a second on every direction at once, then waits until every frame sent has arrived or is
// known lost.
//
// Counters, over all iterations of a case:
//   frames_per_s         frames received on all directions together, per second of the run
//   line_fps             what the lines carry together (20 Mbit/s only)
//   sent, lost           frames written, and frames written that never arrived
//   worst_share          the direction that received fewest, against the mean of all
//                        directions (1: every port got its share)
//   host_us_per_frame    processor time of the host's threads per frame received, in µs
//                        (equally: seconds per million frames)
//   client_us_per_frame  the same for the benchmark's writer and reader threads
//   empty_reads_per_frame  reads that found no frame, per frame received (each a request to
//                        the host that carried nothing)
// The host's time is the process's processor time less what the client threads measured of
// themselves (CLOCK_THREAD_CPUTIME_ID, each over its whole life) and less the main thread's.
// Each case prints its frames sent and received per direction to stderr. The benchmark's threads
// are named "stream writer" and "stream reader", the host's "wyvel32 client" and "wyvel32 clock",
// so a profile (perf report --sort comm) tells them apart.

#include <benchmark/benchmark.h>
#include <pthread.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstdio>
#include <numeric>
#include <string>
#include <thread>
#include <vector>

#include "bench/library_streams.h"
#include "host/testing/in_process_host.h"
#include "portaccess/qorval32.h"

namespace {

using qorval::bench::LineRate;
using qorval::bench::StreamResult;
using qorval::host::testing::InProcessHost;

constexpr auto kStreamingTime = std::chrono::seconds(1);

// The handles of a host's ports, opened in order and closed when it goes.
class OpenPorts {
  public:
    bool Open(unsigned count) {
        for (unsigned port = 1; port <= count; ++port) {
            QORVAL_HANDLE handle = 0;
            if (QORVAL_PortOpen(QORVAL_DRIVER_WYVEL32, static_cast<uint16_t>(port), &handle) !=
                QORVAL_OK) {
                return false;
            }
            handles_.push_back(handle);
        }
        return true;
    }
    ~OpenPorts() {
        for (const QORVAL_HANDLE handle : handles_) {
            (void)QORVAL_PortClose(handle);
        }
    }
    QORVAL_HANDLE operator[](size_t index) const { return handles_[index]; }

  private:
    std::vector<QORVAL_HANDLE> handles_;
};

// Direction d runs from the port at handle d to its partner at d ^ 1 (port 1 to 2, 2 to 1, ...).
struct Tally {
    std::vector<uint64_t> sent;
    std::vector<uint64_t> received;
    uint64_t lost = 0;
    uint64_t empty_reads = 0;
    double seconds = 0;
    double host_cpu = 0;
    double client_cpu = 0;

    explicit Tally(size_t directions) : sent(directions), received(directions) {}
};

// One iteration: every direction streams until told to stop; returns false when one failed.
bool StreamAllDirections(const OpenPorts& ports, size_t directions, Tally& tally) {
    std::atomic<bool> stop{false};
    std::vector<StreamResult> results(directions);
    const double process_cpu_start = qorval::bench::ProcessCpuSeconds();
    const double main_cpu_start = qorval::bench::ThreadCpuSeconds();
    const auto start = std::chrono::steady_clock::now();
    std::vector<std::thread> threads;
    for (size_t d = 0; d < directions; ++d) {
        const QORVAL_HANDLE from = ports[d];
        const QORVAL_HANDLE to = ports[d ^ 1];
        threads.emplace_back([&results, &stop, d, from, to] {
            (void)::pthread_setname_np(::pthread_self(), "stream reader");
            results[d] = qorval::bench::StreamFrames(from, to, {.stop = &stop});
        });
    }
    std::this_thread::sleep_for(kStreamingTime);
    stop = true;
    for (std::thread& thread : threads) {
        thread.join();
    }
    tally.seconds +=
        std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    double client_cpu = qorval::bench::ThreadCpuSeconds() - main_cpu_start;
    bool whole_run = true;
    for (size_t d = 0; d < directions; ++d) {
        tally.sent[d] += results[d].sent;
        tally.received[d] += results[d].received;
        tally.lost += results[d].lost;
        tally.empty_reads += results[d].empty_reads;
        client_cpu += results[d].client_cpu_seconds;
        whole_run = whole_run && !results[d].failed;
    }
    tally.client_cpu += client_cpu;
    tally.host_cpu += qorval::bench::ProcessCpuSeconds() - process_cpu_start - client_cpu;
    return whole_run;
}

void PrintDirections(unsigned pairs, LineRate rate, const Tally& tally) {
    std::fprintf(stderr, "%u pair%s, %s, sent/received per direction:", pairs,
                 pairs == 1 ? "" : "s", rate == LineRate::Unlimited ? "unlimited" : "20 Mbit/s");
    for (size_t d = 0; d < tally.sent.size(); ++d) {
        std::fprintf(stderr, " %zu>%zu %llu/%llu", d + 1, (d ^ 1) + 1,
                     static_cast<unsigned long long>(tally.sent[d]),
                     static_cast<unsigned long long>(tally.received[d]));
    }
    std::fprintf(stderr, "\n");
}

// Arguments: the pairs; 0 unlimited line rate, 1 20 Mbit/s.
void BM_PairsBothWays(benchmark::State& state) {
    const auto pairs = static_cast<unsigned>(state.range(0));
    const auto rate = static_cast<LineRate>(state.range(1));
    qorval::host::BusOptions options;
    options.ports = 2 * pairs;
    options.unlimited_rate = rate == LineRate::Unlimited;
    InProcessHost host(options);
    if (!host.Error().empty()) {
        state.SkipWithError(("host did not start: " + host.Error()).c_str());
        return;
    }
    // Divisor 0: the 20 MHz oscillator undivided, the card's fastest line; taken at the open.
    for (unsigned port = 1; port <= options.ports; ++port) {
        if (!host.SetPortValue(port, "Divisor", 0)) {
            state.SkipWithError("cannot write the port keys");
            return;
        }
    }
    OpenPorts ports;
    if (!ports.Open(options.ports)) {
        state.SkipWithError("ports did not open");
        return;
    }
    const size_t directions = 2 * pairs;
    Tally tally(directions);
    for (auto _ : state) {
        if (!StreamAllDirections(ports, directions, tally)) {
            state.SkipWithError("a stream failed: a call failed or a frame came wrong");
            return;
        }
    }
    const uint64_t received = std::accumulate(tally.received.begin(), tally.received.end(),
                                              uint64_t{0});
    const uint64_t sent = std::accumulate(tally.sent.begin(), tally.sent.end(), uint64_t{0});
    const uint64_t fewest = *std::min_element(tally.received.begin(), tally.received.end());
    state.counters["frames_per_s"] = static_cast<double>(received) / tally.seconds;
    if (rate == LineRate::TwentyMbps) {
        state.counters["line_fps"] =
            qorval::bench::LineCapacityFramesPerSecond(host, 1) * static_cast<double>(directions);
    }
    state.counters["sent"] = static_cast<double>(sent);
    state.counters["lost"] = static_cast<double>(tally.lost);
    state.counters["worst_share"] =
        received == 0 ? 0.0
                      : static_cast<double>(fewest) * static_cast<double>(directions) /
                            static_cast<double>(received);
    if (received != 0) {
        state.counters["host_us_per_frame"] = tally.host_cpu * 1e6 / static_cast<double>(received);
        state.counters["client_us_per_frame"] =
            tally.client_cpu * 1e6 / static_cast<double>(received);
        state.counters["empty_reads_per_frame"] =
            static_cast<double>(tally.empty_reads) / static_cast<double>(received);
    }
    PrintDirections(pairs, rate, tally);
}
BENCHMARK(BM_PairsBothWays)
    ->ArgsProduct({{1, 2, 4, 8, 16}, {0, 1}})
    ->ArgNames({"pairs", "rate"})
    ->Iterations(3)
    ->Unit(benchmark::kMillisecond)
    ->UseRealTime();

}  // namespace

BENCHMARK_MAIN();
