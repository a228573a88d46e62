// Checker throughput in sync: received frames of the pattern, bytes per second on one core.

#include <benchmark/benchmark.h>

#include <vector>

#include "bert/checker.h"
#include "bert/pattern.h"

namespace {

using qorval::bert::BertChecker;
using qorval::bert::BertCounters;
using qorval::bert::kFrameSize;
using qorval::bert::kPattern;

std::vector<uint8_t> Frames(size_t count) {
    std::vector<uint8_t> out;
    for (size_t i = 0; i < count; ++i) {
        out.insert(out.end(), kPattern.begin(), kPattern.begin() + kFrameSize);
    }
    return out;
}

// Frame by frame, as the receive worker hands them over; state.range(0) bit errors per frame.
void BM_CheckerInSync(benchmark::State& state) {
    auto stream = Frames(256);
    for (size_t f = 0; f < 256; ++f) {
        for (int64_t e = 0; e < state.range(0); ++e) {
            stream[f * kFrameSize + 1 + static_cast<size_t>(e) * 37 % 500] ^= 0x10;
        }
    }
    BertChecker checker;
    BertCounters counters;
    const auto sync = Frames(4);
    checker.Check(sync.data(), sync.size(), counters);
    for (auto _ : state) {
        for (size_t f = 0; f < 256; ++f) {
            checker.Check(stream.data() + f * kFrameSize, kFrameSize, counters);
        }
        benchmark::ClobberMemory();
    }
    state.SetBytesProcessed(static_cast<int64_t>(state.iterations()) *
                            static_cast<int64_t>(stream.size()));
}
BENCHMARK(BM_CheckerInSync)->Arg(0)->Arg(1)->Arg(10);

}  // namespace

BENCHMARK_MAIN();
