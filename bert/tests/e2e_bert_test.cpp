// The tester end to end: two testers through the real port access library against a driver
// host in this process, port 1 testing and port 2 repeating over the simulated pair, with a
// bit error rate set on the line by the host's `ber` control command.
//
// What the tester counts: every frame crosses the line twice (out to the repeater and back),
// and the repeater sends back exactly what it received, flipped bits included (a frame with a
// CRC error still reaches it with its bytes). Its own transmitter gives the echo a fresh frame
// check, so the tester sees a CRC error only for a flip on the way back, while its checker
// sees the flips of both ways. A data bit therefore differs from the pattern with probability
// q = 2p(1 - p), and a frame fails its CRC with probability 1 - (1 - p)^(frame bits).

#include <gtest/gtest.h>

#include <cmath>
#include <cstdio>

#include "bert/bert_session.h"
#include "bert/pattern.h"
#include "bert/tests/test_wait.h"
#include "host/server/control_commands.h"
#include "host/testing/in_process_host.h"

namespace qorval::bert {
namespace {

using host::testing::InProcessHost;
using testing::WaitFor;

constexpr double kDeviations = 5.0;  // about one false alarm in two million runs
constexpr uint32_t kCrcBits = 32;    // the ports' default frame check, CRC-32

// Frames through the pair until the tester has checked at least `bytes`.
struct PairRun {
    uint32_t bytesChecked = 0, bitErrors = 0, rxFrames = 0, crcErrors = 0, syncLosses = 0,
             overrunErrors = 0, otherErrors = 0, repeaterOverruns = 0;
};

PairRun RunPair(double bitErrorRate, uint32_t bytes) {
    host::BusOptions options;
    options.unlimited_rate = true;
    InProcessHost host(options);
    EXPECT_EQ(host.Error(), "");
    char command[64];
    std::snprintf(command, sizeof command, "ber %.10g", bitErrorRate);
    EXPECT_EQ(host::RunControlCommand(host.Host().bus(), command), "ok\n");

    PairRun run;
    BertSession repeater, tester;
    repeater.Port().SelectPort(QORVAL_DRIVER_WYVEL32, 2);
    tester.Port().SelectPort(QORVAL_DRIVER_WYVEL32, 1);
    if (repeater.OpenPort() != QORVAL_OK || tester.OpenPort() != QORVAL_OK) {
        ADD_FAILURE() << "the host's ports did not open";
        return run;
    }
    repeater.SetRepeatMode(true);
    tester.StartStop();
    const BertCounters& c = tester.Counters();
    EXPECT_TRUE(WaitFor([&] { return c.bytesChecked.load() >= bytes; }, std::chrono::seconds(600)))
        << "only " << c.bytesChecked.load() << " bytes checked";
    tester.Shutdown();
    repeater.Shutdown();

    run.bytesChecked = c.bytesChecked.load();
    run.bitErrors = c.bitErrors.load();
    run.rxFrames = c.rxFrames.load();
    run.crcErrors = c.crcErrors.load();
    run.syncLosses = c.syncLosses.load();
    run.overrunErrors = c.overrunErrors.load();
    run.otherErrors = c.otherErrors.load() + c.lineErrors.load();
    run.repeaterOverruns = repeater.Counters().overrunErrors.load();
    return run;
}

// Asserts that `count` of `trials` lies within kDeviations standard deviations of a binomial
// draw with this probability.
void ExpectBinomial(const char* what, uint64_t count, uint64_t trials, double probability) {
    const double mean = static_cast<double>(trials) * probability;
    const double deviation = std::sqrt(mean * (1.0 - probability));
    EXPECT_LE(std::abs(static_cast<double>(count) - mean), kDeviations * deviation + 0.5)
        << what << ": " << count << " of " << trials << ", expected " << mean << " +- "
        << kDeviations * deviation;
}

TEST(BertEndToEnd, CleanLineChecksEveryByteWithoutAnError) {
    const PairRun run = RunPair(0.0, 200'000);
    EXPECT_GE(run.bytesChecked, 200'000u);
    EXPECT_EQ(run.bitErrors, 0u);
    EXPECT_EQ(run.crcErrors, 0u);
    EXPECT_EQ(run.syncLosses, 0u);
    EXPECT_EQ(run.overrunErrors + run.repeaterOverruns + run.otherErrors, 0u);
}

TEST(BertEndToEnd, MeasuredBitErrorRateMatchesTheLine) {
    constexpr double p = 1e-4;
    // About 16 million data bits: some 3200 expected differing bits, so the bound is about 9 %.
    const PairRun run = RunPair(p, 2'000'000);
    const uint64_t bits = uint64_t{run.bytesChecked} * 8;
    ExpectBinomial("bit errors", run.bitErrors, bits, 2 * p * (1 - p));
    const double frameBits = kFrameSize * 8.0 + kCrcBits;
    ExpectBinomial("CRC errors", run.crcErrors, run.rxFrames, 1 - std::pow(1 - p, frameBits));
    EXPECT_EQ(run.syncLosses, 0u);  // a corrupted frame start lowers confidence only
    EXPECT_EQ(run.overrunErrors + run.repeaterOverruns + run.otherErrors, 0u);
    const double oneWay = static_cast<double>(run.bitErrors) / static_cast<double>(bits) / 2;
    RecordProperty("measured_one_way_ber", std::to_string(oneWay));
    std::printf("bytes checked %u, bit errors %u, one-way rate %.3g; frames %u, CRC errors %u\n",
                run.bytesChecked, run.bitErrors, oneWay, run.rxFrames, run.crcErrors);
}

}  // namespace
}  // namespace qorval::bert
