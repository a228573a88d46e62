// What a second local user can and cannot do to the owner's driver host when the owner shares
// the ports with that user's group, as docs/prefix-and-event-log.md says: the user runs the
// real programs (wyvel32, and a helper that opens sockets the way a greedy or curious client
// would) under their own account. The host runs in this process, as the owner.
#include "platform/tests/other_user.h"
#include "tests/journeys/support/child_process.h"

#include <gtest/gtest.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <unistd.h>

#include <cstring>
#include <memory>
#include <sstream>

#include "host/control_client_command.h"
#include "host/protocol/control_protocol.h"
#include "host/server/control_socket_server.h"
#include "host/tests/host_fixture.h"
#include "platform/paths.h"
#include "platform/testing/temporary_directory.h"

namespace qorval::host::testing {
namespace {

using platform::testing::OtherUser;

std::string InRun(std::string_view name) {
    return (platform::RunDir() / std::string(name)).string();
}

bool Contains(const std::string& text, const std::string& part) {
    return text.find(part) != std::string::npos;
}

// A Unix stream socket of the owner's that some program of theirs listens on.
class OwnersListener {
  public:
    explicit OwnersListener(const std::string& path) : path_(path) {
        sockaddr_un address{};
        address.sun_family = AF_UNIX;
        std::strncpy(address.sun_path, path.c_str(), sizeof(address.sun_path) - 1);
        fd_ = ::socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0);
        EXPECT_EQ(::bind(fd_, reinterpret_cast<sockaddr*>(&address), sizeof address), 0);
        EXPECT_EQ(::listen(fd_, 4), 0);
    }
    ~OwnersListener() { ::close(fd_); }
    // Whether a client still reaches the program behind it.
    bool StillServes() const {
        const int client = ConnectTo(path_, SOCK_STREAM);
        if (client < 0) {
            return false;
        }
        ::close(client);
        return true;
    }

  private:
    std::string path_;
    int fd_ = -1;
};

class OtherUserTest : public HostTest {
  protected:
    // What a program the other user ran to its end said, and its exit status.
    struct Finished {
        int status = -1;
        std::string output;
    };

    void SetUp() override {
        std::string why;
        user_ = platform::testing::PeerUser(&why);
        if (!user_) {
            GTEST_SKIP() << "no second user: " << why;
        }
        for (const char* program : {WYVEL32_PROGRAM, PEER_PROGRAM}) {
            if (AsOther({"test", "-x", program}).status != 0) {
                GTEST_SKIP() << program << " cannot be run by " << user_->name
                             << " (a folder on its path is closed to other users)";
            }
        }
        // The recipe: the group may pass the prefix and read run/, whose sockets belong to it.
        const auto run = platform::RunDir();
        ASSERT_TRUE(platform::EnsureDirectory(run, nullptr));
        for (const auto& folder : {prefix_.path(), run}) {
            ASSERT_EQ(::chown(folder.c_str(), 0, user_->gid), 0);
        }
        ASSERT_EQ(::chmod(prefix_.path().c_str(), 0710), 0);
        ASSERT_EQ(::chmod(run.c_str(), 02750), 0);
        // A folder every user may write (as /tmp is), which the owner lets bridges use.
        shared_ = prefix_.path().parent_path() / (prefix_.path().filename().string() + "-shared");
        std::filesystem::create_directory(shared_);
        ASSERT_EQ(::chmod(shared_.c_str(), 01777), 0);
    }
    void TearDown() override {
        HostTest::TearDown();
        std::error_code ignored;
        std::filesystem::remove_all(shared_, ignored);
    }
    void StartSharedHost() {
        BusOptions options = PairAtUnlimitedRate(2);
        options.stream_policy.folders = {shared_};
        StartHost(options);
    }
    Finished AsOther(std::vector<std::string> argv) {
        const auto child = StartAsOther(std::move(argv));
        child->CloseInput();
        const auto status = child->Wait();
        return {status.value_or(-1), child->Output() + child->ErrorOutput()};
    }
    // The other user's programs run in a folder of the test's, beside the prefix.
    std::unique_ptr<journeys::ChildProcess> StartAsOther(std::vector<std::string> argv) {
        auto child = std::make_unique<journeys::ChildProcess>(journeys::ProcessOptions{
            user_->Command(std::move(argv)), outputs_.Path(), "other" + std::to_string(++runs_),
            {}});
        EXPECT_TRUE(child->Started());
        return child;
    }

    std::optional<OtherUser> user_;
    std::filesystem::path shared_;
    qorval::testing::TemporaryDirectory outputs_{"qorval_other_user"};
    int runs_ = 0;
};

TEST_F(OtherUserTest, TheGroupUsesThePortsAndTheStatusButCommandsNothing) {
    StartSharedHost();
    const Finished status = AsOther({WYVEL32_PROGRAM, "status"});
    EXPECT_EQ(status.status, 0) << status.output;
    EXPECT_TRUE(Contains(status.output, "port 1 started Wyvel32_001")) << status.output;
    const Finished opened = AsOther({PEER_PROGRAM, "open", "1"});
    EXPECT_EQ(opened.status, 0) << opened.output;

    const Finished removal = AsOther({WYVEL32_PROGRAM, "remove", "1"});
    EXPECT_EQ(removal.status, 1);
    EXPECT_EQ(removal.output, "wyvel32: error: permission denied: you may not use " +
                                  InRun(protocol::kControlSocketName) +
                                  " (it belongs to another user)\n");
    const Finished through_status =
        AsOther({PEER_PROGRAM, "ask", InRun(protocol::kStatusSocketName), "remove 1"});
    EXPECT_TRUE(Contains(through_status.output, "error: this socket only answers list and status"))
        << through_status.output;

    // A mode someone widened does not open the door: the peer's credentials are checked.
    ASSERT_EQ(::chmod(InRun(protocol::kControlSocketName).c_str(), 0666), 0);
    for (const char* command : {"remove 1", "wire stream 1 tcp:0.0.0.0:0", "stop 2"}) {
        const Finished forced =
            AsOther({PEER_PROGRAM, "ask", InRun(protocol::kControlSocketName), command});
        EXPECT_EQ(forced.output, ControlRefusal(0)) << command;
    }
    EXPECT_EQ(ControlCommand("list"),
              "ok\nport 1 started Wyvel32_001\nport 2 started Wyvel32_002\n");
}

TEST_F(OtherUserTest, NeitherTheMemberNorAMistakeCanStealOrPlantABridgeSocket) {
    StartSharedHost();
    // A live socket of the owner's (an agent, say) is never taken over, whoever asks.
    const std::string agent = (shared_ / "agent.sock").string();
    OwnersListener owners(agent);
    const Finished stolen = AsOther({WYVEL32_PROGRAM, "wire", "stream", "1", "unix:" + agent});
    EXPECT_TRUE(Contains(stolen.output, "permission denied")) << stolen.output;
    EXPECT_EQ(ControlCommand("wire stream 1 unix:" + agent),
              "error: a program listens on it, left alone: " + agent + "\n");
    EXPECT_TRUE(owners.StillServes());
    // Nor is a socket made where the owner did not allow, nor TCP opened beyond the machine.
    const std::string elsewhere = (prefix_.path().parent_path() / "qorval-elsewhere.sock").string();
    EXPECT_TRUE(Contains(ControlCommand("wire stream 1 unix:" + elsewhere),
                         "is neither inside the prefix nor a folder given with --stream-dir"));
    EXPECT_FALSE(std::filesystem::exists(elsewhere));
    EXPECT_TRUE(Contains(ControlCommand("wire stream 2 tcp:0.0.0.0:0"), "not a loopback address"));

    // A socket the member planted where the owner means to wire is left alone, live or not.
    const std::string planted = (shared_ / "port1.sock").string();
    auto listener = StartAsOther({PEER_PROGRAM, "listen", planted});
    ASSERT_TRUE(listener->WaitForOutput("listening")) << listener->Describe();
    EXPECT_EQ(ControlCommand("wire stream 1 unix:" + planted),
              "error: another user's socket, left alone: " + planted + "\n");
    listener->CloseInput();
    EXPECT_EQ(listener->Wait(), 0) << listener->Describe();
    EXPECT_EQ(ControlCommand("wire stream 1 unix:" + planted),
              "error: another user's socket, left alone: " + planted + "\n");
    struct stat still {};
    ASSERT_EQ(::lstat(planted.c_str(), &still), 0);
    EXPECT_EQ(still.st_uid, user_->uid);

    // The owner's own bridge: the member cannot reach it, and with its mode widened is turned
    // away at once by its credentials, without a byte reaching the port.
    const std::string bridge = (shared_ / "bridge1.sock").string();
    ASSERT_EQ(ControlCommand("wire stream 1 unix:" + bridge), "ok\nstream 1 unix:" + bridge + "\n");
    EXPECT_EQ(AsOther({PEER_PROGRAM, "send", bridge, "INJECTED"}).status, 2);
    ASSERT_EQ(::chmod(bridge.c_str(), 0666), 0);
    const Finished turned_away = AsOther({PEER_PROGRAM, "send", bridge, "INJECTED"});
    EXPECT_EQ(turned_away.status, 0) << turned_away.output;
    const auto stats = host().bus().StreamStatsOfPort(1);
    ASSERT_TRUE(stats.has_value());
    EXPECT_EQ(stats->peers_rejected, 1u);
    EXPECT_EQ(stats->frames_from_peer, 0u);
    EXPECT_EQ(stats->peers_accepted, 0u);

    // The owner's peer is taken, and the status says who it is.
    const int peer = ConnectTo(bridge, SOCK_STREAM);
    ASSERT_GE(peer, 0);
    ASSERT_TRUE(WaitFor([&] { return host().bus().StreamStatsOfPort(1)->peer_connected; }));
    EXPECT_TRUE(Contains(ControlCommand("status"), "stream 1 unix:" + bridge + " peer uid 0 pid " +
                                                       std::to_string(::getpid())));
    ::close(peer);
}

TEST_F(OtherUserTest, AnotherUsersIdleConnectionsLockNoPortOut) {
    StartSharedHost();
    std::vector<std::unique_ptr<journeys::ChildProcess>> greedy;
    for (const auto& name : {protocol::DeviceSocketName(1), protocol::DeviceSocketName(2),
                            std::string(protocol::kStatusSocketName)}) {
        greedy.push_back(StartAsOther({PEER_PROGRAM, "idle", InRun(name), "200"}));
        ASSERT_TRUE(greedy.back()->WaitForOutput("holding")) << greedy.back()->Describe();
    }
    int opened = 0;
    for (int round = 0; round < 25; ++round) {
        LibraryPort one(1);
        LibraryPort two(2);
        opened += (one.open_result() == 0) + (two.open_result() == 0);
    }
    EXPECT_EQ(opened, 50);
    std::ostringstream out, err;
    EXPECT_EQ(wyvel32::host::RunControlClientCommand("status", {}, out, err), 0) << err.str();
    for (auto& child : greedy) {
        child->CloseInput();
        EXPECT_EQ(child->Wait(), 0) << child->Describe();
    }
}

}  // namespace
}  // namespace qorval::host::testing
