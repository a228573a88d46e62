// The control and status sockets' bounds: a user's own idle connections, however many, cost
// the host only a few descriptors and never lock that user out.
#include <gtest/gtest.h>
#include <poll.h>
#include <unistd.h>

#include <algorithm>
#include <sstream>
#include <string>
#include <vector>

#include "host/control_client_command.h"
#include "host/protocol/control_protocol.h"
#include "host/tests/host_fixture.h"
#include "platform/paths.h"

namespace qorval::host::testing {
namespace {

bool ClosedByHost(int fd) {
    pollfd end{fd, POLLIN | POLLRDHUP, 0};
    return ::poll(&end, 1, 0) > 0 && (end.revents & (POLLHUP | POLLRDHUP)) != 0;
}

using ControlDoors = HostTest;

TEST_F(ControlDoors, AUsersIdleConnectionsKeepOnlyTheNewestFewAndNeverLockThemOut) {
    StartHost();
    for (const std::string_view name : {protocol::kControlSocketName, protocol::kStatusSocketName}) {
        std::vector<int> idle;
        for (int i = 0; i < 100; ++i) {
            idle.push_back(ConnectTo(platform::RunDir() / std::string(name)));
            ASSERT_GE(idle.back(), 0) << name << " refused connection " << i;
        }
        // The host closes each user's oldest connections for the new ones: four stay.
        EXPECT_TRUE(WaitFor([&] {
            return std::count_if(idle.begin(), idle.end(), ClosedByHost) == 96;
        })) << name;
        EXPECT_FALSE(ClosedByHost(idle.back())) << name;
        std::ostringstream out, err;
        EXPECT_EQ(wyvel32::host::RunControlClientCommand("status", {}, out, err), 0) << err.str();
        EXPECT_EQ(ControlCommand("list"), "ok\nport 1 started Wyvel32_001\nport 2 started Wyvel32_002\n");
        for (const int fd : idle) {
            ::close(fd);
        }
    }
}

}  // namespace
}  // namespace qorval::host::testing
