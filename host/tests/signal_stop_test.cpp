// `wyvel32 run` as a program, stopped by SIGTERM as a service manager stops it: the test
// spawns the real program on its own prefix and talks to it as a tool would.
#include <signal.h>

#include <atomic>
#include <chrono>
#include <thread>

#include "host/protocol/control_protocol.h"
#include "host/tests/host_fixture.h"
#include "platform/paths.h"
#include "tests/journeys/support/child_process.h"

namespace qorval::host::testing {
namespace {

constexpr uint16_t kWyvel = QORVAL_DRIVER_WYVEL32;
// The library gives up on a host that does not answer after 5 s; a call that fails because
// the host went away must fail well before that.
constexpr std::chrono::milliseconds kWellBeforeTheLibraryGivesUp{2500};

TEST(SignalStop, SigtermFailsConnectedClientsAtOnceRemovesTheSocketsAndKeepsTheRegistry) {
    TemporaryPrefix prefix;
    journeys::ChildProcess host(journeys::ProcessOptions{
        {WYVEL32_PROGRAM, "run", "--ports", "2", "--wire", "pair", "--rate", "unlimited"},
        prefix.path(),
        "host",
        {}});
    ASSERT_TRUE(host.Started());
    ASSERT_TRUE(host.WaitForOutput("wyvel32: running")) << host.Describe();
    const std::string registry_while_running = journeys::ReadWholeFile(platform::RegistryFile());
    ASSERT_NE(registry_while_running.find("Port001"), std::string::npos);

    LibraryPort sender(1);
    LibraryPort receiver(2);
    ASSERT_EQ(sender.open_result(), 0u);
    ASSERT_EQ(receiver.open_result(), 0u);
    const auto frame = PatternFrame(100, 1);
    ASSERT_EQ(QORVAL_PutData(sender.handle(), frame.data(), 100), 0u);
    std::vector<uint8_t> got;
    ASSERT_EQ(receiver.AwaitFrame(got), 0u);
    ASSERT_EQ(got, frame);

    // A client busy sending while the stop comes: its loop must end with an error, not hang.
    std::atomic<uint32_t> sender_result{0};
    std::atomic<bool> sender_done{false};
    std::thread busy([&] {
        uint32_t result = 0;
        do {
            result = QORVAL_PutData(sender.handle(), frame.data(), 100);
            uint16_t waiting = 0;
            uint16_t free_buffers = 0;
            (void)QORVAL_GetBufferCount(receiver.handle(), &waiting, &free_buffers);
            std::vector<uint8_t> drained(4096);
            uint32_t length = 0;
            (void)QORVAL_GetData(receiver.handle(), drained.data(), 4096, &length);
        } while (result == QORVAL_OK || result == QORVAL_NO_TX_BUFFER);
        sender_result = result;
        sender_done = true;
    });

    host.Signal(SIGTERM);
    EXPECT_EQ(host.Wait(), 0) << host.Describe();
    EXPECT_TRUE(host.WaitForOutput("wyvel32: stopping")) << host.Describe();
    const bool busy_ended = WaitFor([&] { return sender_done.load(); });
    EXPECT_TRUE(busy_ended) << "a client's calls still succeed after the host stopped";
    busy_ended ? busy.join() : busy.detach();
    EXPECT_NE(sender_result.load(), 0u);

    // The other client's next call fails from the closed connection, not from the timeout.
    const auto before = std::chrono::steady_clock::now();
    uint16_t waiting = 0;
    uint16_t free_buffers = 0;
    EXPECT_NE(QORVAL_GetBufferCount(receiver.handle(), &waiting, &free_buffers), 0u);
    EXPECT_LT(std::chrono::steady_clock::now() - before, kWellBeforeTheLibraryGivesUp);

    // Nothing is left for the next host or a client to trip over, and the registry is whole.
    EXPECT_FALSE(std::filesystem::exists(platform::RunDir() / protocol::DeviceSocketName(1)));
    EXPECT_FALSE(std::filesystem::exists(platform::RunDir() / protocol::DeviceSocketName(2)));
    EXPECT_FALSE(std::filesystem::exists(platform::RunDir() /
                                         std::string(protocol::kControlSocketName)));
    EXPECT_FALSE(std::filesystem::exists(platform::RunDir() /
                                         std::string(protocol::kStatusSocketName)));
    EXPECT_EQ(journeys::ReadWholeFile(platform::RegistryFile()), registry_while_running);
    QORVAL_HANDLE again = 0;
    EXPECT_NE(QORVAL_PortOpen(kWyvel, 1, &again), 0u);
}

}  // namespace
}  // namespace qorval::host::testing
