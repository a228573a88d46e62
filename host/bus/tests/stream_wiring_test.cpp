// A port's line wired to a byte stream, through an in-process host, the real port access
// library and plain socket peers.

#include <gtest/gtest.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>

#include "host/bus/stream_token.h"
#include "host/bus/tests/stream_host.h"
#include "host/server/control_commands.h"

namespace qorval::host::testing {
namespace {

// The default RxBuffSize (1024) less the default CRC-32 the buffer also holds.
constexpr size_t kLargestFrame = 1024 - 4;

class StreamWiring : public ::testing::Test {
  protected:
    void SetUp() override {
        ASSERT_TRUE(host_.started());
        path_ = host_.WireUnix(1);
        ASSERT_FALSE(path_.empty());
    }
    void TearDown() override {
        for (int fd : peers_) {
            ::close(fd);
        }
    }
    int Connect() {
        const int fd = ConnectUnix(path_);
        if (fd >= 0) {
            peers_.push_back(fd);
        }
        return fd;
    }
    StreamWire::Statistics Stats() { return *host_.bus().StreamStatsOfPort(1); }
    // Connected and taken on by the host (not only queued in the listening socket).
    int ConnectAccepted() {
        const uint64_t before = Stats().peers_accepted;
        const int fd = Connect();
        EXPECT_TRUE(Eventually([&] { return Stats().peers_accepted > before; }));
        return fd;
    }

    StreamHost host_;
    std::string path_;
    std::vector<int> peers_;
};

TEST_F(StreamWiring, FramesAndBytesCrossBothWays) {
    OpenedPort port(1);
    ASSERT_TRUE(port.ok());
    const int peer = ConnectAccepted();

    // Port to peer: each frame arrives as its bytes, without a frame check, in order.
    const auto first = Pattern(100, 1);
    const auto second = Pattern(kLargestFrame, 2);
    ASSERT_TRUE(port.Send(first));
    ASSERT_TRUE(port.Send(second));
    std::vector<uint8_t> got;
    ASSERT_TRUE(ReadExactly(peer, first.size() + second.size(), &got));
    auto expected = first;
    expected.insert(expected.end(), second.begin(), second.end());
    EXPECT_EQ(got, expected);

    // Peer to port: a short write is one frame with a valid check.
    const auto hello = Pattern(37, 3);
    ASSERT_TRUE(WriteAll(peer, hello));
    EXPECT_EQ(port.NextFrame(), hello);
    EXPECT_EQ(Stats().frames_to_peer, 2u);
    EXPECT_EQ(Stats().frames_from_peer, 1u);
}

TEST_F(StreamWiring, PeerBytesAreCutAtTheLargestFrameThenAtAGap) {
    OpenedPort port(1);
    ASSERT_TRUE(port.ok());
    const int peer = ConnectAccepted();
    const auto bytes = Pattern(2 * kLargestFrame + 452, 4);
    ASSERT_TRUE(WriteAll(peer, bytes));
    std::vector<uint8_t> joined;
    std::vector<size_t> sizes;
    while (joined.size() < bytes.size()) {
        const auto frame = port.NextFrame();
        ASSERT_FALSE(frame.empty());
        sizes.push_back(frame.size());
        joined.insert(joined.end(), frame.begin(), frame.end());
    }
    EXPECT_EQ(joined, bytes);
    EXPECT_EQ(sizes, (std::vector<size_t>{kLargestFrame, kLargestFrame, 452}));

    // Bytes after a quiet gap start a frame of their own.
    ASSERT_TRUE(WriteAll(peer, {0x41}));
    EXPECT_EQ(port.NextFrame(), std::vector<uint8_t>{0x41});
    ASSERT_TRUE(WriteAll(peer, {0x42, 0x43}));
    EXPECT_EQ(port.NextFrame(), (std::vector<uint8_t>{0x42, 0x43}));
}

TEST_F(StreamWiring, ASecondPeerIsRefusedAndTheFirstKeepsTheLine) {
    OpenedPort port(1);
    ASSERT_TRUE(port.ok());
    const int first = ConnectAccepted();
    const int second = Connect();
    ASSERT_GE(second, 0);
    EXPECT_TRUE(SeesEndOfStream(second));
    EXPECT_EQ(Stats().peers_refused, 1u);

    const auto frame = Pattern(64, 5);
    ASSERT_TRUE(port.Send(frame));
    std::vector<uint8_t> got;
    ASSERT_TRUE(ReadExactly(first, frame.size(), &got));
    EXPECT_EQ(got, frame);
}

TEST_F(StreamWiring, FramesWhileNoPeerIsConnectedAreDroppedAndCounted) {
    OpenedPort port(1);
    ASSERT_TRUE(port.ok());
    const int gone = ConnectAccepted();
    ::close(gone);
    peers_.clear();
    // The host notices the hang-up; frames sent meanwhile are counted, not kept.
    ASSERT_TRUE(Eventually([&] { return !Stats().peer_connected; }));
    ASSERT_TRUE(port.Send(Pattern(50, 6)));
    ASSERT_TRUE(Eventually([&] { return Stats().frames_dropped_no_peer == 1; }));

    // A new peer gets what is sent from now on, and nothing of what was dropped.
    const int again = ConnectAccepted();
    const auto kept = Pattern(70, 7);
    ASSERT_TRUE(port.Send(kept));
    std::vector<uint8_t> got;
    ASSERT_TRUE(ReadExactly(again, kept.size(), &got));
    EXPECT_EQ(got, kept);
    ASSERT_TRUE(WriteAll(again, {1, 2, 3}));
    EXPECT_EQ(port.NextFrame(), (std::vector<uint8_t>{1, 2, 3}));
}

TEST_F(StreamWiring, RewiringClosesThePeerAndTheSocket) {
    const int peer = ConnectAccepted();
    EXPECT_EQ(RunControlCommand(host_.bus(), "wire open 1"), "ok\n");
    EXPECT_TRUE(SeesEndOfStream(peer));
    EXPECT_FALSE(std::filesystem::exists(path_));
    EXPECT_FALSE(host_.bus().StreamStatsOfPort(1).has_value());
}

TEST(StreamWiringTcp, CarriesFramesOverTcpAndAnswersTheControlCommand) {
    StreamHost host;
    ASSERT_TRUE(host.started());
    const std::string answer = RunControlCommand(host.bus(), "wire stream 1 tcp:0");
    ASSERT_EQ(answer.rfind("ok\nstream 1 tcp:127.0.0.1:", 0), 0u) << answer;
    const uint16_t tcp_port =
        static_cast<uint16_t>(std::stoul(answer.substr(answer.rfind(':') + 1)));

    OpenedPort port(1);
    ASSERT_TRUE(port.ok());
    const int peer = ConnectTcpWithToken(host, tcp_port);
    ASSERT_GE(peer, 0);
    ASSERT_TRUE(Eventually([&] { return host.bus().StreamStatsOfPort(1)->peers_accepted == 1; }));
    EXPECT_NE(RunControlCommand(host.bus(), "status")
                  .find("stream 1 tcp:127.0.0.1:" + std::to_string(tcp_port) + " peer 127.0.0.1:"),
              std::string::npos);
    const auto frame = Pattern(300, 8);
    ASSERT_TRUE(port.Send(frame));
    std::vector<uint8_t> got;
    ASSERT_TRUE(ReadExactly(peer, frame.size(), &got));
    EXPECT_EQ(got, frame);
    ASSERT_TRUE(WriteAll(peer, frame));
    EXPECT_EQ(port.NextFrame(), frame);
    ::close(peer);
}

// Any local user can connect to a TCP port: only a peer that sends the secret first is taken.
// An intruder's bytes never reach the port, and an intruder never displaces the real peer.
TEST(StreamWiringTcp, OnlyAPeerWithTheSecretIsTakenAndNoneDisplacesIt) {
    StreamHost host;
    ASSERT_TRUE(host.started());
    const uint16_t tcp_port = host.WireTcp(1);
    ASSERT_NE(tcp_port, 0);
    OpenedPort port(1);
    ASSERT_TRUE(port.ok());
    const auto stats = [&] { return *host.bus().StreamStatsOfPort(1); };

    for (const std::string& guess : {std::string(kStreamTokenDigits, '0') + "\nINJECTED",
                                     std::string("INJECTED FRAME\n"), std::string(400, 'x')}) {
        const int intruder = ConnectTcp(tcp_port);
        ASSERT_GE(intruder, 0);
        ASSERT_TRUE(WriteAll(intruder, std::vector<uint8_t>(guess.begin(), guess.end())));
        EXPECT_TRUE(SeesEndOfStream(intruder));
        ::close(intruder);
    }
    EXPECT_EQ(stats().peers_rejected, 3u);

    // The real peer: its first bytes after the secret are line data, the first frame the port
    // sees, so nothing an intruder sent came before them.
    const int peer = ConnectTcpWithToken(host, tcp_port);
    ASSERT_GE(peer, 0);
    const auto frame = Pattern(50, 3);
    ASSERT_TRUE(WriteAll(peer, frame));
    EXPECT_EQ(port.NextFrame(), frame);

    const int late = ConnectTcp(tcp_port);
    EXPECT_TRUE(SeesEndOfStream(late));
    ::close(late);
    const auto back = Pattern(60, 4);
    ASSERT_TRUE(port.Send(back));
    std::vector<uint8_t> got;
    ASSERT_TRUE(ReadExactly(peer, back.size(), &got));
    EXPECT_EQ(got, back);
    EXPECT_EQ(stats().peers_accepted, 1u);
    EXPECT_EQ(stats().frames_from_peer, 1u);
    ::close(peer);
}

// The socket file a wiring made is removed when the wiring ends, and only that file: one put at
// the path meanwhile stays.
TEST(StreamWiringUnix, TheEndOfAWiringRemovesOnlyItsOwnSocketFile) {
    StreamHost host;
    ASSERT_TRUE(host.started());
    const std::string path = host.WireUnix(1);
    ASSERT_FALSE(path.empty());
    ASSERT_EQ(RunControlCommand(host.bus(), "wire open 1"), "ok\n");
    EXPECT_FALSE(std::filesystem::exists(path));

    ASSERT_EQ(host.WireUnix(1), path);
    std::filesystem::remove(path);
    { std::ofstream(path) << "someone else's"; }
    ASSERT_EQ(RunControlCommand(host.bus(), "wire open 1"), "ok\n");
    EXPECT_TRUE(std::filesystem::is_regular_file(path));
}

TEST(StreamWiringTcp, BadAddressesAreRefusedWithTheReason) {
    StreamHost host;
    ASSERT_TRUE(host.started());
    struct Case {
        const char* command;
        const char* answer;
    } cases[] = {
        {"wire stream 1 pipe:/x",
         "error: stream address must be unix:<path> or tcp:[addr:]<port>\n"},
        {"wire stream 1 tcp:70000", "error: tcp: port must be a number from 0 to 65535\n"},
        {"wire stream 1 tcp:example:80", "error: tcp: address must be a numeric IPv4 address\n"},
        {"wire stream 1 unix:", "error: unix: needs a socket path\n"},
        {"wire stream 9 tcp:0", "error: no device has port 9\n"},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(RunControlCommand(host.bus(), c.command), c.answer) << c.command;
    }
    // A file that is not a socket is never replaced.
    const auto plain = host.prefix() / "plain";
    { std::ofstream(plain) << "keep"; }
    EXPECT_NE(host.bus().WireStream(1, "unix:" + plain.string(), nullptr).find("not a socket"),
              std::string::npos);
    EXPECT_TRUE(std::filesystem::exists(plain));
}

}  // namespace
}  // namespace qorval::host::testing
