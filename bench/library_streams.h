#pragma once
// Frames streamed through the port access library from one port of an in-process driver host to
// another, for the benchmarks that measure the library and the host: a writer thread puts
// numbered 64-byte frames on one handle while the calling thread reads them on the other,
// counting what arrived, what never did and the processor time both threads spent.

#include <atomic>
#include <cstdint>

#include "host/testing/in_process_host.h"
#include "portaccess/qorval32.h"

namespace qorval::bench {

constexpr uint32_t kStreamFrameSize = 64;
// Frames a writer has in flight at most: below the port's default receive buffer count (100),
// so no frame is dropped because its reader was slow.
constexpr uint32_t kStreamInFlight = 64;

enum class LineRate { Unlimited, TwentyMbps };

// Switches every line of the host to the rate ("rate unlimited" / "rate line"); false when the
// host refused.
bool UseRate(host::testing::InProcessHost& host, LineRate rate);

// The frames a second `port`'s line carries at its clock programme's rate, for the frames a
// stream sends, each with the frame check the port's transmit mode appends.
double LineCapacityFramesPerSecond(host::testing::InProcessHost& host, unsigned port);

// How long a stream runs: until `frames` frames are sent, or until `stop` is set (if given).
struct StreamLimit {
    uint32_t frames = UINT32_MAX;
    const std::atomic<bool>* stop = nullptr;
};

struct StreamResult {
    uint32_t sent = 0;
    uint32_t received = 0;
    // Frames sent that never arrived: gaps in the numbering, and frames still missing when the
    // line had been quiet for a second after the writer finished.
    uint32_t lost = 0;
    // Reads that found no frame waiting: each one a request the host served for nothing.
    uint64_t empty_reads = 0;
    // A call failed, or a frame came with the wrong length or out of order.
    bool failed = false;
    // Processor time of the writer and the reader thread.
    double client_cpu_seconds = 0;

    bool Whole() const { return !failed && lost == 0 && received == sent; }
};

// Streams frames from `from` to `to` until the limit; the calling thread reads.
StreamResult StreamFrames(QORVAL_HANDLE from, QORVAL_HANDLE to, StreamLimit limit);

// Processor time of the calling thread, in seconds.
double ThreadCpuSeconds();
// Processor time of the whole process (every thread, living or ended), in seconds.
double ProcessCpuSeconds();

}  // namespace qorval::bench
