#include "bench/library_streams.h"

#include <pthread.h>
#include <time.h>

#include <algorithm>
#include <chrono>
#include <thread>
#include <vector>

#include "host/server/control_commands.h"
#include "sim/crc.h"
#include "sim/iusc_registers.h"
#include "sim/line_timing.h"

namespace qorval::bench {

namespace {

using Clock = std::chrono::steady_clock;

// A writer whose frames in flight have all gone unanswered this long takes them for lost and
// writes on; a reader whose writer has finished waits this long for the frames still missing.
// Both only matter when frames are lost: a whole stream never waits on them.
constexpr auto kStallBound = std::chrono::seconds(1);
constexpr auto kDrainBound = std::chrono::seconds(1);

double CpuSeconds(clockid_t clock) {
    timespec now{};
    ::clock_gettime(clock, &now);
    return static_cast<double>(now.tv_sec) + static_cast<double>(now.tv_nsec) * 1e-9;
}

void PutNumber(uint8_t* frame, uint32_t number) {
    for (int i = 0; i < 4; ++i) {
        frame[i] = static_cast<uint8_t>(number >> (8 * i));
    }
}

uint32_t NumberOf(const uint8_t* frame) {
    uint32_t number = 0;
    for (int i = 0; i < 4; ++i) {
        number |= static_cast<uint32_t>(frame[i]) << (8 * i);
    }
    return number;
}

}  // namespace

double ThreadCpuSeconds() { return CpuSeconds(CLOCK_THREAD_CPUTIME_ID); }
double ProcessCpuSeconds() { return CpuSeconds(CLOCK_PROCESS_CPUTIME_ID); }

bool UseRate(host::testing::InProcessHost& host, LineRate rate) {
    const char* command = rate == LineRate::Unlimited ? "rate unlimited" : "rate line";
    return host::RunControlCommand(host.Host().bus(), command).rfind("ok", 0) == 0;
}

// Averaged over the 256 values of a frame's first byte (the low byte of its number), the rest
// taken as 0: bit stuffing makes the bits on the line depend on the contents.
double LineCapacityFramesPerSecond(host::testing::InProcessHost& host, unsigned port) {
    const sim::SimCard* card = host.Host().bus().CardOfPort(port);
    const uint16_t tmr = card->PeekReg16(sim::reg::TMR);
    const uint16_t ccr = card->PeekReg16(sim::reg::CCR);
    const auto kind = (tmr & sim::reg::kModeCrcEnable) != sim::reg::kModeCrcEnable
                          ? sim::CrcKind::None
                      : (tmr & sim::reg::kModeCrc32) != 0 ? sim::CrcKind::Crc32
                                                          : sim::CrcKind::Ccitt16;
    uint64_t bits = 0;
    for (unsigned first = 0; first < 256; ++first) {
        std::vector<uint8_t> wire(kStreamFrameSize, 0);
        wire[0] = static_cast<uint8_t>(first);
        const auto check =
            sim::FrameCheck(kind, (tmr & sim::reg::kModeCrcPresetOnes) != 0, wire);
        wire.insert(wire.end(), check.begin(), check.end());
        bits += sim::FrameBitsOnLine(ccr, wire);
    }
    return card->TransmitBitRate() * 256.0 / static_cast<double>(bits);
}

StreamResult StreamFrames(QORVAL_HANDLE from, QORVAL_HANDLE to, StreamLimit limit) {
    const double reader_cpu_start = ThreadCpuSeconds();
    // Frames numbered below `accounted` have arrived or are known lost.
    std::atomic<uint32_t> accounted{0};
    std::atomic<uint32_t> sent{0};
    std::atomic<bool> writer_done{false};
    std::atomic<bool> failed{false};
    double writer_cpu = 0;
    std::thread writer([&] {
        (void)::pthread_setname_np(::pthread_self(), "stream writer");
        const double cpu_start = ThreadCpuSeconds();
        uint8_t frame[kStreamFrameSize] = {};
        uint32_t next = 0;
        uint32_t given_up_below = 0;
        uint32_t last_accounted = 0;
        auto last_change = Clock::now();
        while (next < limit.frames && !failed.load(std::memory_order_relaxed) &&
               (limit.stop == nullptr || !limit.stop->load(std::memory_order_relaxed))) {
            const uint32_t answered =
                std::max(accounted.load(std::memory_order_relaxed), given_up_below);
            if (next - answered >= kStreamInFlight) {
                if (answered != last_accounted) {
                    last_accounted = answered;
                    last_change = Clock::now();
                } else if (Clock::now() - last_change > kStallBound) {
                    given_up_below = next;  // the reader counts them lost when later ones come
                }
                std::this_thread::yield();
                continue;
            }
            PutNumber(frame, next);
            const uint32_t result = QORVAL_PutData(from, frame, kStreamFrameSize);
            if (result == QORVAL_NO_TX_BUFFER) {
                continue;
            }
            if (result != QORVAL_OK) {
                failed = true;
                break;
            }
            sent.store(++next, std::memory_order_release);
            last_change = Clock::now();
        }
        writer_cpu = ThreadCpuSeconds() - cpu_start;
        writer_done.store(true, std::memory_order_release);
    });

    StreamResult result;
    uint32_t expected = 0;
    auto last_arrival = Clock::now();
    uint8_t buffer[1024];
    while (!failed.load()) {
        const bool writing_over = writer_done.load(std::memory_order_acquire);
        if (writing_over && expected == sent.load()) {
            break;
        }
        uint32_t length = 0;
        if (QORVAL_GetData(to, buffer, sizeof(buffer), &length) != QORVAL_OK) {
            failed = true;
            break;
        }
        if (length == 0) {
            ++result.empty_reads;
            if (writing_over && Clock::now() - last_arrival > kDrainBound) {
                result.lost += sent.load() - expected;
                expected = sent.load();
            }
            continue;
        }
        last_arrival = Clock::now();
        const uint32_t number = NumberOf(buffer);
        if (length != kStreamFrameSize || number < expected) {
            failed = true;
            break;
        }
        result.lost += number - expected;
        ++result.received;
        expected = number + 1;
        accounted.store(expected, std::memory_order_relaxed);
    }
    writer.join();
    result.sent = sent.load();
    // A number beyond the frames sent is a frame nobody wrote.
    result.failed = failed.load() || expected > result.sent;
    result.client_cpu_seconds = writer_cpu + ThreadCpuSeconds() - reader_cpu_start;
    return result;
}

}  // namespace qorval::bench
