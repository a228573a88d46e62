// `wyvel32 run` out of descriptors: a flood of idle connections to a port and to the status
// socket meets a host whose descriptor limit is just above what it uses. The host must keep
// serving the handle already open, not spin on the accept that keeps failing, and answer again
// once the flood ends.
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/resource.h>
#include <sys/socket.h>
#include <sys/un.h>
#include <unistd.h>

#include <chrono>
#include <cstring>
#include <filesystem>
#include <thread>

#include "host/control_client_command.h"
#include "host/protocol/control_protocol.h"
#include "host/tests/host_fixture.h"
#include "platform/paths.h"
#include "tests/journeys/support/child_process.h"

namespace qorval::host::testing {
namespace {

// How long the processor time of the flooded host is measured, and the share of it the host
// may use: a host spinning on accept takes all of it.
constexpr auto kWindow = std::chrono::seconds(1);
constexpr auto kNearZero = std::chrono::milliseconds(200);

size_t OpenDescriptors(pid_t pid) {
    std::error_code error;
    const std::filesystem::directory_iterator entries("/proc/" + std::to_string(pid) + "/fd", error);
    return error ? 0 : static_cast<size_t>(std::distance(entries, {}));
}

// A connection that sends nothing; -1 when the socket's queue is full.
int ConnectIdle(const std::string& path) {
    sockaddr_un address{};
    address.sun_family = AF_UNIX;
    std::strncpy(address.sun_path, path.c_str(), sizeof(address.sun_path) - 1);
    const int fd = ::socket(AF_UNIX, SOCK_SEQPACKET | SOCK_CLOEXEC | SOCK_NONBLOCK, 0);
    if (::connect(fd, reinterpret_cast<sockaddr*>(&address), sizeof address) != 0) {
        ::close(fd);
        return -1;
    }
    return fd;
}

bool RoundTrip(const LibraryPort& port, uint32_t seed) {
    const auto frame = PatternFrame(64, seed);
    std::vector<uint8_t> got;
    return QORVAL_PutData(port.handle(), frame.data(), 64) == QORVAL_OK &&
           port.AwaitFrame(got) == QORVAL_OK && got == frame;
}

TEST(DescriptorLimit, AFloodedHostServesOpenHandlesRestsAndAnswersAfterwards) {
#ifdef QORVAL_UBSAN_VPTR
    GTEST_SKIP() << "the undefined-behaviour sanitizer of this tree probes every virtual call's "
                    "object through a pipe, which a host without descriptors cannot make: it "
                    "reports each call as invalid and stops; the ThreadSanitizer tree runs this";
#endif
    TemporaryPrefix prefix;
    journeys::ChildProcess host(journeys::ProcessOptions{
        {WYVEL32_PROGRAM, "run", "--ports", "2", "--wire", "loopback", "--rate", "unlimited"},
        prefix.path(),
        "host",
        {}});
    ASSERT_TRUE(host.WaitForOutput("wyvel32: running")) << host.Describe();
    LibraryPort established(1);
    ASSERT_EQ(established.open_result(), 0u);
    ASSERT_TRUE(RoundTrip(established, 1));

    // Two descriptors to spare: one more connection fits, the next accept fails.
    // Only the soft limit is lowered: raising a hard limit again needs a capability that a
    // container's root may lack.
    const rlim_t limit = OpenDescriptors(host.Pid()) + 2;
    rlimit before_limit{};
    ASSERT_EQ(::prlimit(host.Pid(), RLIMIT_NOFILE, nullptr, &before_limit), 0);
    const rlimit low{limit, before_limit.rlim_max};
    ASSERT_EQ(::prlimit(host.Pid(), RLIMIT_NOFILE, &low, nullptr), 0) << std::strerror(errno);
    // The status socket's idle connections take the spare descriptors first; then every accept
    // fails while more connections wait, at the status socket and at a port.
    std::vector<int> flood;
    const auto open_idle = [&](const std::string& name, int count) {
        for (int i = 0; i < count; ++i) {
            if (const int fd = ConnectIdle((platform::RunDir() / name).string()); fd >= 0) {
                flood.push_back(fd);
            }
        }
    };
    open_idle(std::string(protocol::kStatusSocketName), 4);
    ASSERT_TRUE(WaitFor([&] { return OpenDescriptors(host.Pid()) >= limit; }));
    open_idle(protocol::DeviceSocketName(2), 10);
    open_idle(std::string(protocol::kStatusSocketName), 10);
    ASSERT_GE(flood.size(), 10u);

    const auto before = host.ProcessorTime();
    const auto start = std::chrono::steady_clock::now();
    ASSERT_TRUE(RoundTrip(established, 2));  // the handle works on without a new descriptor
    std::this_thread::sleep_until(start + kWindow);
    const auto used = host.ProcessorTime() - before;
    RecordProperty("processor_us_while_flooded", std::to_string(used.count()));
    EXPECT_LT(used, kNearZero) << "the host used " << used.count()
                               << " us of processor time in 1 s while out of descriptors";
    EXPECT_TRUE(RoundTrip(established, 3));

    for (const int fd : flood) {
        ::close(fd);
    }
    EXPECT_TRUE(WaitFor([] { return wyvel32::host::AskDriverHost("status").rfind("ok", 0) == 0; }));
    // With its descriptors back, the host opens a port as ever (a new handle needs several).
    ASSERT_EQ(::prlimit(host.Pid(), RLIMIT_NOFILE, &before_limit, nullptr), 0)
        << std::strerror(errno) << "\n" << host.Describe();
    LibraryPort after(2);
    EXPECT_EQ(after.open_result(), 0u);
    host.Signal(SIGTERM);
    EXPECT_EQ(host.Wait(), 0) << host.Describe();
}

}  // namespace
}  // namespace qorval::host::testing
