// The control commands against a host that is there but does not answer: one that stopped
// taking connections (its queue is full) and one that takes them but never replies. Both end
// within the wait with a message that says so, instead of hanging the shell.
#include <gtest/gtest.h>
#include <sys/socket.h>
#include <sys/un.h>
#include <unistd.h>

#include <cstring>
#include <sstream>

#include "host/control_client_command.h"
#include "host/protocol/control_protocol.h"
#include "host/tests/host_fixture.h"
#include "platform/paths.h"

namespace qorval::host::testing {
namespace {

constexpr std::chrono::milliseconds kShortWait{200};

// A control socket nobody serves: listening with the given backlog, never accepting.
class SilentListener {
  public:
    explicit SilentListener(int backlog) {
        EXPECT_TRUE(platform::EnsureDirectory(platform::RunDir(), nullptr));
        address_.sun_family = AF_UNIX;
        const std::string path = SocketPath();
        std::memcpy(address_.sun_path, path.c_str(), path.size() + 1);
        fd_ = ::socket(AF_UNIX, SOCK_SEQPACKET, 0);
        EXPECT_EQ(::bind(fd_, reinterpret_cast<sockaddr*>(&address_), sizeof address_), 0);
        EXPECT_EQ(::listen(fd_, backlog), 0);
    }
    ~SilentListener() {
        for (int fd : queued_) {
            ::close(fd);
        }
        ::close(fd_);
        ::unlink(SocketPath().c_str());
    }
    // Takes a place in the listener's queue.
    void Queue() {
        const int fd = ::socket(AF_UNIX, SOCK_SEQPACKET, 0);
        EXPECT_EQ(::connect(fd, reinterpret_cast<sockaddr*>(&address_), sizeof address_), 0);
        queued_.push_back(fd);
    }
    static std::string SocketPath() {
        return (platform::RunDir() / std::string(protocol::kControlSocketName)).string();
    }

  private:
    sockaddr_un address_{};
    int fd_ = -1;
    std::vector<int> queued_;
};

struct Outcome {
    int status;
    std::string out;
    std::string err;
};

Outcome RunCommand(std::string_view command) {
    std::ostringstream out, err;
    const int status = wyvel32::host::RunControlClientCommand(command, {}, out, err, kShortWait);
    return {status, out.str(), err.str()};
}

TEST(ControlClient, ASilentOrStalledHostEndsTheCommandWithinTheWait) {
    TemporaryPrefix prefix;
    EXPECT_EQ(RunCommand("start 1").err, "wyvel32: error: no driver host is running (" +
                                             SilentListener::SocketPath() + ")\n");
    // `status` asks the status socket, the one the group sharing the ports may use too.
    EXPECT_EQ(RunCommand("status").err,
              "wyvel32: error: no driver host is running (" +
                  (platform::RunDir() / std::string(protocol::kStatusSocketName)).string() +
                  ")\n");
    {
        SilentListener listener(16);  // takes connections into its queue, never answers
        const Outcome run = RunCommand("start 1");
        EXPECT_EQ(run.status, 1);
        EXPECT_EQ(run.out, "");
        EXPECT_EQ(run.err, "wyvel32: error: the driver host did not answer within 0.2 s (" +
                               SilentListener::SocketPath() + "); it may be stopped or stalled\n");
    }
    {
        SilentListener listener(0);  // room for one waiting connection
        listener.Queue();
        const Outcome run = RunCommand("add");
        EXPECT_EQ(run.status, 1);
        EXPECT_EQ(run.err, "wyvel32: error: the driver host did not take the command within "
                           "0.2 s (" +
                               SilentListener::SocketPath() + "); it may be stopped or stalled\n");
    }
}

}  // namespace
}  // namespace qorval::host::testing
