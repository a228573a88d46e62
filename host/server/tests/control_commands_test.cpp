#include "host/server/control_commands.h"

#include <gtest/gtest.h>

namespace qorval::host {
namespace {

// Records what the commands asked for.
class RecordingHost : public HostControl {
  public:
    std::vector<std::string> calls;
    std::string fail_with;

    std::vector<protocol::PortListing> List() override {
        return {{1, "started", "Wyvel32_001"}, {2, "stopped", "Wyvel32_002"}};
    }
    std::string Add(unsigned* port) override {
        *port = 3;
        return Record("add");
    }
    std::string Start(unsigned p) override { return Record("start " + std::to_string(p)); }
    std::string Stop(unsigned p) override { return Record("stop " + std::to_string(p)); }
    std::string SurpriseRemove(unsigned p) override {
        return Record("surprise " + std::to_string(p));
    }
    std::string Remove(unsigned p) override { return Record("remove " + std::to_string(p)); }
    std::string Power(unsigned p, PowerAction a) override {
        return Record((a == PowerAction::Sleep ? "sleep " : "wake ") + std::to_string(p));
    }
    std::string Wire(WireKind kind, unsigned a, unsigned b) override {
        const char* name = kind == WireKind::Pair   ? "pair"
                           : kind == WireKind::Open ? "open"
                                                    : "loop";
        return Record(std::string(name) + " " + std::to_string(a) + " " + std::to_string(b));
    }
    std::string SetBitErrorRate(double p, unsigned port) override {
        return Record("ber " + std::to_string(p) + " " + std::to_string(port));
    }
    std::string SetDropRate(double p, unsigned port) override {
        return Record("drop " + std::to_string(p) + " " + std::to_string(port));
    }
    std::string SetLineRate(bool unlimited) override {
        return Record(unlimited ? "unlimited" : "line");
    }
    std::vector<StreamListing> Streams() override {
        return {{1, "unix:/p/run/s1", "uid 1000 pid 7"}, {2, "tcp:127.0.0.1:4001", ""}};
    }

  private:
    std::string Record(std::string call) {
        calls.push_back(std::move(call));
        return fail_with;
    }
};

TEST(ControlCommands, WellFormedCommandsReachTheHost) {
    RecordingHost host;
    EXPECT_EQ(RunControlCommand(host, "list"),
              "ok\nport 1 started Wyvel32_001\nport 2 stopped Wyvel32_002\n");
    EXPECT_EQ(RunControlCommand(host, "status"),
              "ok\nport 1 started Wyvel32_001\nport 2 stopped Wyvel32_002\n"
              "stream 1 unix:/p/run/s1 peer uid 1000 pid 7\nstream 2 tcp:127.0.0.1:4001 no peer\n");
    EXPECT_EQ(RunControlCommand(host, "add\n"), "ok\nport 3\n");
    EXPECT_EQ(RunControlCommand(host, "  stop   2 "), "ok\n");
    EXPECT_EQ(RunControlCommand(host, "surprise-remove 1"), "ok\n");
    EXPECT_EQ(RunControlCommand(host, "wire pair 1 3"), "ok\n");
    EXPECT_EQ(RunControlCommand(host, "wire loopback 4"), "ok\n");
    EXPECT_EQ(RunControlCommand(host, "ber 1e-4"), "ok\n");
    EXPECT_EQ(RunControlCommand(host, "drop 0.5 2"), "ok\n");
    EXPECT_EQ(RunControlCommand(host, "rate unlimited"), "ok\n");
    EXPECT_EQ(RunControlCommand(host, "sleep 1"), "ok\n");
    EXPECT_EQ(host.calls, (std::vector<std::string>{"add", "stop 2", "surprise 1", "pair 1 3",
                                                    "loop 4 4", "ber 0.000100 0", "drop 0.500000 2",
                                                    "unlimited", "sleep 1"}));
}

TEST(ControlCommands, BadCommandsAreRefusedWithoutReachingTheHost) {
    RecordingHost host;
    for (const char* bad : {"", "frobnicate", "stop", "stop 0", "stop 33", "stop x", "stop 1 2",
                            "wire pair 1 1", "wire pair 1", "wire ring 1", "ber 2", "ber -0.1",
                            "ber nan", "ber 0.1 0", "drop 1e-3x", "rate fast", "list extra"}) {
        EXPECT_EQ(RunControlCommand(host, bad).rfind("error: ", 0), 0u) << bad;
    }
    EXPECT_TRUE(host.calls.empty());
}

TEST(ControlCommands, OnlyListAndStatusAreReadOnly) {
    for (const char* reading : {"list", " status\n"}) {
        EXPECT_TRUE(IsReadOnlyCommand(reading)) << reading;
    }
    for (const char* changing :
         {"", "list 1", "status x", "stop 1", "wire stream 1 tcp:0", "add"}) {
        EXPECT_FALSE(IsReadOnlyCommand(changing)) << changing;
    }
}

TEST(ControlCommands, HostFailuresComeBackAsErrors) {
    RecordingHost host;
    host.fail_with = "no such port";
    EXPECT_EQ(RunControlCommand(host, "remove 9"), "error: no such port\n");
}

}  // namespace
}  // namespace qorval::host
