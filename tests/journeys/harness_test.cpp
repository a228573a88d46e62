// The process harness itself: what the journeys and the fault tests rely on when they read a
// process's status and processor time, and when they kill and restart a driver host.
#include <gtest/gtest.h>
#include <signal.h>

#include "tests/journeys/support/host_process.h"
#include "tests/journeys/support/programs.h"

namespace qorval::journeys {
namespace {

ChildProcess Shell(const std::filesystem::path& directory, const std::string& script) {
    return ChildProcess(ProcessOptions{{"/bin/sh", "-c", script}, directory, "sh", {}});
}

TEST(ChildProcess, ReportsExitCodesSignalsOutputAndProcessorTime) {
    qorval::testing::TemporaryDirectory dir("journey_harness");
    {
        ChildProcess child =
            Shell(dir.Path(), "read line; echo \"got $line\"; echo oops >&2; exit 3");
        ASSERT_TRUE(child.Started());
        ASSERT_TRUE(child.WriteInput("hello\n"));
        EXPECT_EQ(child.Wait(), 3) << child.Describe();
        EXPECT_EQ(child.Output(), "got hello\n");
        EXPECT_EQ(child.ErrorOutput(), "oops\n");
    }
    {
        // A busy child's processor time grows while it runs and is kept once it has ended.
        ChildProcess busy = Shell(dir.Path(), "while :; do :; done");
        ASSERT_TRUE(busy.Started());
        EXPECT_TRUE(WaitUntil([&] {
            return busy.ProcessorTime() >= std::chrono::milliseconds(200);
        })) << "processor time stays at "
            << busy.ProcessorTime().count() << " us";
        busy.Signal(SIGTERM);
        EXPECT_EQ(busy.Wait(), 128 + SIGTERM);
        EXPECT_GE(busy.ProcessorTime(), std::chrono::milliseconds(200));
    }
    {
        // A sleeping child uses next to nothing.
        ChildProcess idle = Shell(dir.Path(), "exec sleep 30");
        ASSERT_TRUE(idle.Started());
        EXPECT_LT(idle.ProcessorTime(), std::chrono::milliseconds(100));
        idle.Kill();
        EXPECT_EQ(idle.ExitStatus(), 128 + SIGKILL);
    }
}

TEST(DriverHostProcess, AKilledHostLeavesToolsWithoutAPortUntilItStartsAgain) {
    DriverHostProcess host({"--ports", "2", "--wire", "pair", "--rate", "unlimited"});
    ASSERT_TRUE(host.Running()) << host.Describe();
    auto tester = host.StartTool(kKessup, {"--port", "1", "--seconds", "1"}, "before");
    EXPECT_EQ(tester->Wait(), 0) << tester->Describe();
    EXPECT_NE(tester->Output().find("tx_frames="), std::string::npos) << tester->Describe();

    host.Kill();
    EXPECT_FALSE(host.Running());
    auto orphan = host.StartTool(kKessup, {"--port", "1", "--seconds", "1"}, "killed");
    EXPECT_EQ(orphan->Wait(), 1) << orphan->Describe();

    ASSERT_TRUE(host.Start()) << host.Describe();
    ASSERT_TRUE(host.SetPortValue(1, "Divisor", 0));
    auto again = host.StartTool(kKessup, {"--port", "1", "--seconds", "1"}, "restarted");
    EXPECT_EQ(again->Wait(), 0) << again->Describe();
    std::string status;
    EXPECT_EQ(host.Control({"status"}, &status), 0);
    EXPECT_NE(status.find("started"), std::string::npos) << status;
}

}  // namespace
}  // namespace qorval::journeys
