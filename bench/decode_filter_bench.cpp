// The decoders and the filter against a full 20 Mbit/s line of 64-byte frames (about 35700
// frames a second once flags, CRC and bit stuffing are counted). For each link a mix of
// 64-byte frames that link carries is decoded and matched against a filter of three tests;
// the counters give the processor time a frame takes and the share of one core the line's rate
// needs (line_core_percent), the rest being the processor time to spare.
#include <benchmark/benchmark.h>

#include <ctime>
#include <string>
#include <vector>

#include "analyser/capture_decoding.h"
#include "analyser/decode/decoded_text.h"
#include "analyser/decode/link_protocol.h"
#include "analyser/filter/frame_filter.h"

namespace {

using namespace qorval::analyser;
using decode::LinkProtocol;

constexpr double kLineFramesPerSecond = 35700;
constexpr size_t kFrameBytes = 64;

// A frame of 64 bytes: the header given, padded with payload.
std::vector<uint8_t> Padded(std::vector<uint8_t> header) {
    for (size_t i = header.size(); i < kFrameBytes; ++i) {
        header.push_back(static_cast<uint8_t>(i * 7));
    }
    return header;
}

std::vector<std::vector<uint8_t>> FramesOf(LinkProtocol link) {
    switch (link) {
        case LinkProtocol::Lapb:
            return {Padded({0x01, 0x22, 0x10, 0x01, 0x00}), Padded({0x03, 0x44, 0x10, 0x05, 0x22}),
                    Padded({0x01, 0x66, 0x20, 0x01, 0x0A, 0x00}),
                    Padded({0x01, 0x00, 0x10, 0x01, 0x0B, 0x45, 0x31, 0x10, 0x12, 0x34, 0x50})};
        case LinkProtocol::Sdlc:
            return {Padded({0xC1, 0x10}), Padded({0xC2, 0x32}), Padded({0xC1, 0x54}),
                    Padded({0xC3, 0xBF})};
        case LinkProtocol::FrameRelay:
            return {Padded({0x18, 0x41, 0x03, 0xCC}), Padded({0x18, 0x4B, 0x03, 0xCC}),
                    Padded({0x30, 0x41, 0x08, 0x00}),
                    Padded({0x00, 0x01, 0x03, 0x08, 0x00, 0x7D, 0x95, 0x01, 0x01, 0x00, 0x03,
                            0x02, 0x06, 0x05, 0x07, 0x03, 0x06, 0xA0, 0x82, 0x07, 0x03, 0x0C,
                            0xC0, 0x88, 0x07, 0x03, 0x12, 0x80, 0x82})};
        case LinkProtocol::CiscoHdlc:
            return {Padded({0x0F, 0x00, 0x08, 0x00}), Padded({0x0F, 0x00, 0x86, 0xDD}),
                    Padded({0x8F, 0x00, 0x80, 0x35, 0x00, 0x00, 0x00, 0x02, 0x00, 0x00, 0x00,
                            0x05, 0x00, 0x00, 0x00, 0x04, 0xFF, 0xFF})};
        default:
            return {Padded({})};
    }
}

const char* FilterOf(LinkProtocol link) {
    switch (link) {
        case LinkProtocol::Lapb:
            return "type == RNR || (ns == 3 && lcn == 1) || error";
        case LinkProtocol::Sdlc:
            return "addr == 0xC1 && type == I || error";
        case LinkProtocol::FrameRelay:
            return "dlci == 100 && de || pvc_new || error";
        case LinkProtocol::CiscoHdlc:
            return "slarp == KEEPALIVE || proto == IP && len > 60";
        default:
            return "len > 512 || error";
    }
}

double ThreadCpuSeconds() {
    timespec now{};
    clock_gettime(CLOCK_THREAD_CPUTIME_ID, &now);
    return static_cast<double>(now.tv_sec) + static_cast<double>(now.tv_nsec) * 1e-9;
}

// Frames a second one core manages, the processor time a frame takes, and the share of one
// core a full line's 35700 frames a second need (the rest is the time to spare).
void Report(benchmark::State& state, uint64_t frames, double cpuSeconds) {
    const double perFrame = frames != 0 ? cpuSeconds / static_cast<double>(frames) : 0;
    state.counters["frames_per_cpu_s"] = perFrame > 0 ? 1 / perFrame : 0;
    state.counters["cpu_ns_per_frame"] = perFrame * 1e9;
    state.counters["line_core_percent"] = kLineFramesPerSecond * perFrame * 100;
}

// Decoding and filtering alone.
void BM_DecodeAndFilter(benchmark::State& state) {
    const auto link = static_cast<LinkProtocol>(state.range(0));
    const auto frames = FramesOf(link);
    const FrameFilter filter = std::get<FrameFilter>(FrameFilter::Parse(FilterOf(link)));
    uint64_t count = 0;
    size_t matched = 0;
    const double cpuStart = ThreadCpuSeconds();
    for (auto _ : state) {
        const auto& bytes = frames[count++ % frames.size()];
        const decode::DecodedFrame decoded = decode::DecodeFrame(link, bytes);
        const FrameFacts facts{.number = count, .length = kFrameBytes, .decoded = &decoded};
        matched += filter.Matches(facts) ? 1 : 0;
    }
    benchmark::DoNotOptimize(matched);
    Report(state, count, ThreadCpuSeconds() - cpuStart);
}

// All the decoded view does for a frame the port delivered: decode, count in the statistics,
// filter, and make the decoded line of each frame the filter lets through.
void BM_DecodedViewPerFrame(benchmark::State& state) {
    const auto link = static_cast<LinkProtocol>(state.range(0));
    const auto frames = FramesOf(link);
    CaptureDecoding decoding;
    decoding.SetLink(link);
    (void)decoding.SetFilter(FilterOf(link));
    decoding.Start(0);
    uint64_t count = 0;
    size_t characters = 0;
    const double cpuStart = ThreadCpuSeconds();
    for (auto _ : state) {
        const auto& bytes = frames[count % frames.size()];
        decoding.OnPortFrame(bytes, false, 0, count * 28000);  // 28 us apart, as on the line
        if (decoding.Show(bytes, false)) {
            characters += decoding.CurrentLine(static_cast<uint32_t>(count)).size();
        }
        ++count;
    }
    benchmark::DoNotOptimize(characters);
    Report(state, count, ThreadCpuSeconds() - cpuStart);
}

void Links(benchmark::internal::Benchmark* benchmark) {
    for (LinkProtocol link : {LinkProtocol::Raw, LinkProtocol::Lapb, LinkProtocol::Sdlc,
                              LinkProtocol::FrameRelay, LinkProtocol::CiscoHdlc}) {
        benchmark->Arg(static_cast<int64_t>(link));
    }
}

BENCHMARK(BM_DecodeAndFilter)->Apply(Links);
BENCHMARK(BM_DecodedViewPerFrame)->Apply(Links);

}  // namespace

BENCHMARK_MAIN();
