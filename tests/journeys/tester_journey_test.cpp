// The bit error rate tester against a second tester repeating, both as kessup processes on the
// two ports of a driver host at the card's default rate.
#include <gtest/gtest.h>
#include <signal.h>

#include "tests/journeys/support/host_process.h"
#include "tests/journeys/support/kessup_summary.h"
#include "tests/journeys/support/programs.h"

namespace qorval::journeys {
namespace {

TEST(TesterJourney, EveryFrameSentReachesTheRepeaterAndComesBackWithoutAnError) {
    DriverHostProcess host({"--ports", "2", "--wire", "pair", "--rate", "line"});
    ASSERT_TRUE(host.Running()) << host.Describe();
    auto repeater = host.StartTool(kKessup, {"--port", "2", "--repeat"}, "repeater");
    // Its first status line says the port is open and the workers run.
    ASSERT_TRUE(repeater->WaitForOutput("Rx Frames:")) << repeater->Describe();

    auto tester = host.StartTool(kKessup, {"--port", "1", "--seconds", "2"}, "tester");
    ASSERT_EQ(tester->Wait(), 0) << tester->Describe();
    const std::string figures = tester->Output();
    const auto sent = SummaryValue(figures, "tx_frames");
    const auto back = SummaryValue(figures, "rx_frames");
    ASSERT_TRUE(sent && back) << figures;
    EXPECT_GT(*back, 0u) << figures;
    EXPECT_LE(*back, *sent) << figures;
    EXPECT_GT(SummaryValue(figures, "bytes_checked").value_or(0), 0u) << figures;
    for (const char* counter : {"bit_errors", "sync_losses", "crc_errors", "overrun_errors",
                                "line_errors", "other_errors"}) {
        EXPECT_EQ(SummaryValue(figures, counter), 0u) << counter << "\n" << figures;
    }

    // The tester has closed its port: every frame its card had accepted left it first, so the
    // repeater's count comes to exactly what the tester sent.
    const std::string count = "Rx Frames: " + std::to_string(*sent) + "  ";
    EXPECT_TRUE(repeater->WaitForOutput(count, std::chrono::seconds(20)))
        << "the repeater never counted " << *sent << " frames\n"
        << repeater->Describe();
    repeater->Signal(SIGINT);
    ASSERT_EQ(repeater->Wait(), 0) << repeater->Describe();
    const std::string repeated = repeater->Output();
    EXPECT_EQ(SummaryValue(repeated, "rx_frames"), sent) << repeated;
    EXPECT_EQ(SummaryValue(repeated, "tx_frames"), sent) << repeated;
    EXPECT_EQ(SummaryValue(repeated, "other_errors"), 0u) << repeated;
}

}  // namespace
}  // namespace qorval::journeys
