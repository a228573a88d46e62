// How requests travel between clients and the host: clients that stall or scribble on their
// request ring hurt only themselves, every port keeps being served meanwhile, a port closed
// is free again at once, and sockets a dead host left behind read as absent ports and are
// cleared by the next host.

#include <gtest/gtest.h>
#include <poll.h>
#include <signal.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <functional>
#include <optional>
#include <utility>
#include <thread>

#include "driver/ioctl_codes.h"
#include "driver/ntstatus.h"
#include "host/protocol/control_protocol.h"
#include "host/protocol/counts_block.h"
#include "host/protocol/frames_ahead.h"
#include "host/protocol/request_ring.h"
#include "host/tests/host_fixture.h"
#include "platform/paths.h"

namespace qorval::host::testing {
namespace {

namespace ring = protocol::ring;
constexpr uint16_t kWyvel = QORVAL_DRIVER_WYVEL32;

// Frames across the pair 1 -> 2 through the library, each read back in order.
void ExpectTrafficOnThePair(unsigned frames) {
    LibraryPort one(1);
    LibraryPort two(2);
    ASSERT_EQ(one.open_result(), 0u);
    ASSERT_EQ(two.open_result(), 0u);
    for (uint32_t i = 0; i < frames; ++i) {
        const auto frame = PatternFrame(64, i);
        ASSERT_EQ(QORVAL_PutData(one.handle(), frame.data(), 64), 0u) << "frame " << i;
        std::vector<uint8_t> got;
        ASSERT_EQ(two.AwaitFrame(got), 0u) << "frame " << i;
        ASSERT_EQ(got, frame) << "frame " << i;
    }
}

// A connected SOCK_SEQPACKET socket to the control socket, or -1.
int ConnectToControl() {
    sockaddr_un address{};
    address.sun_family = AF_UNIX;
    const std::string path =
        (platform::RunDir() / std::string(protocol::kControlSocketName)).string();
    std::memcpy(address.sun_path, path.c_str(), path.size() + 1);
    const int fd = ::socket(AF_UNIX, SOCK_SEQPACKET | SOCK_CLOEXEC, 0);
    if (fd >= 0 && ::connect(fd, reinterpret_cast<const sockaddr*>(&address), sizeof(address)) != 0) {
        ::close(fd);
        return -1;
    }
    return fd;
}

using TransportTest = HostTest;

// Sends `message` again and again on `fd` and never reads: true when the host gave up on the
// connection (it ended), false when the host stopped taking messages (it stalled) or never
// gave up.
bool FloodUntilDropped(int fd, const std::vector<uint8_t>& message) {
    for (int sent = 0; sent < 200000; ++sent) {
        if (::send(fd, message.data(), message.size(), MSG_DONTWAIT | MSG_NOSIGNAL) ==
            static_cast<ssize_t>(message.size())) {
            continue;
        }
        if (errno == EPIPE || errno == ECONNRESET) {
            return true;
        }
        pollfd room{fd, POLLOUT, 0};
        if (errno != EAGAIN || ::poll(&room, 1, static_cast<int>(kGenerousBound.count())) <= 0) {
            return false;
        }
    }
    return false;
}

TEST_F(TransportTest, ClientsThatStopReadingAreClosedAndStallNobodyElse) {
    StartHost(PairAtUnlimitedRate(3));
    std::thread traffic([] { ExpectTrafficOnThePair(300); });

    // A client of port 3 and a client of the control socket send requests and never read
    // an answer: the host queues what their sockets do not take, up to a bound, and past it
    // closes them as dead clients.
    RawClient stalled;
    ASSERT_EQ(stalled.Open(3), wyvel32::STATUS_SUCCESS);
    protocol::Request info = ControlRequest(wyvel32::IOCTL_GET_PORT_INFO, 0, 68);
    EXPECT_TRUE(FloodUntilDropped(stalled.fd(), protocol::EncodeRequest(info)));
    const int control = ConnectToControl();
    ASSERT_GE(control, 0);
    EXPECT_TRUE(FloodUntilDropped(control, {'l', 'i', 's', 't'}));
    ::close(control);

    // Meanwhile the pair kept its traffic; the control socket answers and port 3 is free.
    traffic.join();
    EXPECT_EQ(ControlCommand("list").rfind("ok", 0), 0u);
    LibraryPort three(3);
    EXPECT_EQ(three.open_result(), 0u);
}

TEST_F(TransportTest, APortClosedIsFreeForTheNextOpenAtOnce) {
    StartHost();
    for (int i = 0; i < 100; ++i) {
        QORVAL_HANDLE handle = 0;
        ASSERT_EQ(QORVAL_PortOpen(kWyvel, 1, &handle), 0u) << "open " << i;
        ASSERT_EQ(QORVAL_PortClose(handle), 0u);
    }
}

TEST_F(TransportTest, TheLibraryTakesTheRingAndItCarriesEveryRequestKind) {
    StartHost();
    LibraryPort two(2);  // its receiver runs while the port is open
    RawClient client;
    ASSERT_EQ(client.Open(1, /*synchronous=*/true, /*ring=*/true), wyvel32::STATUS_SUCCESS);
    ASSERT_NE(client.ring(), nullptr);
    const ring::RingView view = client.ring()->view();
    // A device control in one slot and a write in another, in flight together.
    client.SubmitOnRing(2, protocol::Function::DeviceControl, wyvel32::IOCTL_GET_PORT_INFO, 68);
    client.SubmitOnRing(0, protocol::Function::Write, 0, 0, PatternFrame(30, 1));
    ASSERT_TRUE(client.AwaitOnRing(2));
    ASSERT_TRUE(client.AwaitOnRing(0));
    EXPECT_EQ(ring::Load(view.slot(2).status), wyvel32::STATUS_SUCCESS);
    EXPECT_EQ(ring::Load(view.slot(2).information), 68u);
    EXPECT_EQ(ring::Load(view.slot(2).reply_length), 68u);
    EXPECT_EQ(ring::Load(view.slot(0).status), wyvel32::STATUS_SUCCESS);
    EXPECT_EQ(ring::Load(view.slot(0).information), 30u);
    EXPECT_EQ(ring::Load(view.slot(0).reply_length), 0u);
    // The frame went through the driver: it arrives on the far port.
    std::vector<uint8_t> got;
    ASSERT_EQ(two.AwaitFrame(got), 0u);
    EXPECT_EQ(got, PatternFrame(30, 1));
}

// ---- Buffer counts published in the ring's memory ----

using Counts = std::pair<uint16_t, uint16_t>;  // frames waiting, free transmit buffers

// The counts the ring's block shows, when it shows any, with the buffers of the frames the host
// holds for a client that has taken none of them.
std::optional<Counts> CountsInMemory(const RawClient& client) {
    ring::CountsLook look;
    if (!ring::LookAtCounts(client.ring()->view(), look) || !look.valid) {
        return std::nullopt;
    }
    const ring::FramesAheadReader nothing_taken;
    const std::optional<uint32_t> held =
        nothing_taken.HeldBuffers(ring::AheadView(client.ring()->view()), look.ahead);
    if (!held) {
        return std::nullopt;
    }
    return Counts{static_cast<uint16_t>((look.counts & 0xFFFF) + *held),
                  static_cast<uint16_t>(look.counts >> 16)};
}

// The driver's answer to its buffer-count request, asked through slot 3.
Counts CountsAsked(RawClient& client) {
    client.SubmitOnRing(3, protocol::Function::DeviceControl, wyvel32::IOCTL_GET_BUFFER_COUNT,
                        wyvel32::kBufferCountSize);
    EXPECT_TRUE(client.AwaitOnRing(3));
    const uint8_t* bytes = client.ring()->view().data(3);
    return Counts{static_cast<uint16_t>(bytes[0] | bytes[1] << 8),
                  static_cast<uint16_t>(bytes[2] | bytes[3] << 8)};
}

TEST_F(TransportTest, CountsInMemoryAreTheDriversAnswerWhenEachCompletionIsSeen) {
    StartHost();
    LibraryPort two(2);
    RawClient client;
    ASSERT_EQ(client.Open(1, /*synchronous=*/true, /*ring=*/true), wyvel32::STATUS_SUCCESS);
    ASSERT_NE(client.ring(), nullptr);
    ASSERT_TRUE(WaitFor([&] { return CountsInMemory(client).has_value(); }));
    const Counts idle = CountsAsked(client);
    EXPECT_EQ(idle.first, 0);
    EXPECT_EQ(CountsInMemory(client), idle);

    // Frames from the far port: the host publishes them after each interrupt, unasked.
    for (uint32_t i = 0; i < 3; ++i) {
        const auto frame = PatternFrame(64, i);
        ASSERT_EQ(QORVAL_PutData(two.handle(), frame.data(), 64), 0u);
    }
    ASSERT_TRUE(WaitFor([&] {
        const auto counts = CountsInMemory(client);
        return counts && counts->first == 3;
    }));
    EXPECT_EQ(CountsAsked(client), (Counts{3, idle.second}));

    // A read that took a frame, and a reset that emptied the receive ring: once the client
    // sees each completed, the block is withdrawn or already shows what it changed, never
    // the counts from before.
    const auto nextValid = [&] {
        std::optional<Counts> counts;
        EXPECT_TRUE(WaitFor([&] { return (counts = CountsInMemory(client)).has_value(); }));
        return counts;
    };
    client.SubmitOnRing(0, protocol::Function::Read, 0, 4096);
    ASSERT_TRUE(client.AwaitOnRing(0));
    EXPECT_EQ(ring::Load(client.ring()->view().slot(0).information), 64u);
    EXPECT_EQ(nextValid(), (Counts{2, idle.second}));
    client.SubmitOnRing(1, protocol::Function::DeviceControl, wyvel32::IOCTL_RESET_BUFFERS, 0,
                        {wyvel32::kResetReceive});
    ASSERT_TRUE(client.AwaitOnRing(1));
    EXPECT_EQ(ring::Load(client.ring()->view().slot(1).status), wyvel32::STATUS_SUCCESS);
    EXPECT_EQ(nextValid(), (Counts{0, idle.second}));
    EXPECT_EQ(CountsAsked(client), (Counts{0, idle.second}));
}

// ---- A client that writes garbage into its ring ----

struct ScribbleCase {
    const char* name;
    bool synchronous;
    std::function<void(RawClient&)> scribble;
};

class RingScribbleTest : public HostTest, public ::testing::WithParamInterface<ScribbleCase> {};

TEST_P(RingScribbleTest, TheConnectionEndsWithAnErrorAndTheHostServesOthers) {
    StartHost();
    RawClient client;
    ASSERT_EQ(client.Open(1, GetParam().synchronous, /*ring=*/true), wyvel32::STATUS_SUCCESS);
    ASSERT_NE(client.ring(), nullptr);
    GetParam().scribble(client);
    protocol::Reply reply;
    ASSERT_TRUE(client.Receive(reply));
    EXPECT_EQ(reply.status, wyvel32::STATUS_INVALID_PARAMETER);
    EXPECT_TRUE(client.ClosedByHost());
    // Its handle was cleaned up and closed; the host still serves the port and its peer.
    ExpectTrafficOnThePair(3);
}

void SetSlot(RawClient& client, uint32_t slot, uint32_t function, uint32_t output_length,
             uint32_t input_length) {
    ring::SlotHeader& shared = client.ring()->view().slot(slot);
    ring::Store(shared.function, function);
    ring::Store(shared.output_length, output_length);
    ring::Store(shared.input_length, input_length);
    ring::Store(client.ring()->view().header().submissions[0], slot);
}

INSTANTIATE_TEST_SUITE_P(
    Scribbles, RingScribbleTest,
    ::testing::Values(
        ScribbleCase{"TailFarAhead", true,
                     [](RawClient& c) {
                         SetSlot(c, 0, 0x0E, 4, 0);
                         c.PublishOnRing(1000);
                     }},
        ScribbleCase{"SlotOutsideTheRing", true,
                     [](RawClient& c) {
                         SetSlot(c, 0, 0x0E, 4, 0);
                         ring::Store(c.ring()->view().header().submissions[0], 0x80000001u);
                         c.PublishOnRing(1);
                     }},
        ScribbleCase{"OutputBeyondTheSlot", true,
                     [](RawClient& c) {
                         SetSlot(c, 1, 0x03, ring::kSlotDataSize + 1, 0);
                         c.PublishOnRing(1);
                     }},
        ScribbleCase{"UnknownFunction", true,
                     [](RawClient& c) {
                         SetSlot(c, 0, 0x1234, 0, 0);
                         c.PublishOnRing(1);
                     }},
        ScribbleCase{"CreateOnTheRing", true,
                     [](RawClient& c) {
                         SetSlot(c, 0, 0x00, 0, 0);
                         c.PublishOnRing(1);
                     }},
        ScribbleCase{"WriteWithOutput", true,
                     [](RawClient& c) {
                         SetSlot(c, 0, 0x04, 8, 8);
                         c.PublishOnRing(1);
                     }},
        // A read that stays pending on an overlapped handle keeps its slot in flight; the
        // same slot submitted again is refused.
        ScribbleCase{"SlotSubmittedTwice", false,
                     [](RawClient& c) {
                         c.SubmitOnRing(3, protocol::Function::Read, 0, 1024);
                         c.SubmitOnRing(3, protocol::Function::Read, 0, 1024);
                     }},
        // The client says it took frames of the read-ahead area the host never published.
        ScribbleCase{"ReadAheadHeadBeyondItsTail", true,
                     [](RawClient& c) {
                         const ring::AheadView area(c.ring()->view());
                         ring::Store(area.header().head, 7);
                         c.SubmitOnRing(2, protocol::Function::Read, 0, 1024);
                     }},
        ScribbleCase{"MessageOnTheSocket", true,
                     [](RawClient& c) {
                         ASSERT_TRUE(c.Send(ControlRequest(wyvel32::IOCTL_GET_PORT_INFO, 0, 68)));
                     }}),
    [](const ::testing::TestParamInfo<ScribbleCase>& info) {
        return std::string(info.param.name);
    });

// ---- Sockets a dead host left behind ----

using StaleSocketTest = HostTest;

// Starts a host with `ports` ports in a child process that waits to be killed; its pid, or -1
// when it did not start.
pid_t StartDoomedHost(unsigned ports) {
    int ready[2];
    if (::pipe(ready) != 0) {
        return -1;
    }
    const pid_t child = ::fork();
    if (child == 0) {
        // A host killed without a chance to clean up.
        wyvel32::host::DriverHost doomed(PairAtUnlimitedRate(ports));
        std::string warnings;
        const char started = doomed.Start(&warnings).empty() ? 1 : 0;
        (void)::write(ready[1], &started, 1);
        while (true) {
            ::pause();
        }
    }
    ::close(ready[1]);
    char started = 0;
    const bool told = child > 0 && ::read(ready[0], &started, 1) == 1;
    ::close(ready[0]);
    if (child > 0 && (!told || started != 1)) {
        ::kill(child, SIGKILL);
        ::waitpid(child, nullptr, 0);
        return -1;
    }
    return child;
}

void KillHost(pid_t child) {
    ::kill(child, SIGKILL);
    int status = 0;
    ASSERT_EQ(::waitpid(child, &status, 0), child);
}

TEST_F(StaleSocketTest, AKilledHostsPortsReadAsAbsentAndTheNextHostClearsThem) {
    const pid_t child = StartDoomedHost(3);
    ASSERT_GT(child, 0);
    KillHost(child);

    const auto socket_of = [](unsigned port) {
        return platform::RunDir() / protocol::DeviceSocketName(port);
    };
    struct stat info {};
    ASSERT_EQ(::lstat(socket_of(3).c_str(), &info), 0) << "the killed host left its socket";
    QORVAL_HANDLE handle = 0;
    EXPECT_EQ(QORVAL_PortOpen(kWyvel, 1, &handle), uint32_t{QORVAL_PORT_NUMBER});
    EXPECT_EQ(QORVAL_PortOpen(kWyvel, 3, &handle), uint32_t{QORVAL_PORT_NUMBER});

    // A new host with two ports on the same prefix removes what nobody serves and serves
    // its own.
    StartHost(PairAtUnlimitedRate(2));
    EXPECT_NE(::lstat(socket_of(3).c_str(), &info), 0);
    EXPECT_EQ(QORVAL_PortOpen(kWyvel, 3, &handle), uint32_t{QORVAL_PORT_NUMBER});
    ExpectTrafficOnThePair(3);
}

// Counts come from the ring's memory, which a dead host leaves as it was: the library must
// still notice the death instead of answering from it forever.
TEST_F(StaleSocketTest, ABufferCountFailsOnceTheHostHasDied) {
    const pid_t child = StartDoomedHost(2);
    ASSERT_GT(child, 0);
    QORVAL_HANDLE handle = 0;
    ASSERT_EQ(QORVAL_PortOpen(kWyvel, 1, &handle), 0u);
    uint16_t waiting = 0;
    uint16_t free = 0;
    ASSERT_EQ(QORVAL_GetBufferCount(handle, &waiting, &free), 0u);
    KillHost(child);
    EXPECT_TRUE(WaitFor([&] { return QORVAL_GetBufferCount(handle, &waiting, &free) != 0u; }));
    EXPECT_NE(QORVAL_GetBufferCount(handle, &waiting, &free), 0u);
    (void)QORVAL_PortClose(handle);
}

// Frames the host took for a reader lie in the ring's memory, which outlives the host: once
// the library knows the host has died, a read fails instead of handing one out.
TEST_F(StaleSocketTest, FramesHeldForAReaderAreNotHandedOutOnceTheHostHasDied) {
    const pid_t child = StartDoomedHost(2);
    ASSERT_GT(child, 0);
    QORVAL_HANDLE one = 0;
    QORVAL_HANDLE two = 0;
    ASSERT_EQ(QORVAL_PortOpen(kWyvel, 1, &one), 0u);
    ASSERT_EQ(QORVAL_PortOpen(kWyvel, 2, &two), 0u);
    std::vector<uint8_t> buffer(4096);
    uint32_t length = 0;
    ASSERT_EQ(QORVAL_GetData(two, buffer.data(), 4096, &length), 0u);  // a reader that polled
    // More frames than port 2's receive buffers: some are held by the host.
    constexpr uint16_t kFrames = 150;
    for (uint32_t i = 0; i < kFrames; ++i) {
        const auto frame = PatternFrame(64, i);
        ASSERT_TRUE(WaitFor([&] { return QORVAL_PutData(one, frame.data(), 64) == 0u; }));
    }
    uint16_t waiting = 0;
    uint16_t free = 0;
    ASSERT_TRUE(WaitFor([&] {
        return QORVAL_GetBufferCount(two, &waiting, &free) == 0u && waiting == kFrames;
    }));
    KillHost(child);
    EXPECT_TRUE(WaitFor([&] { return QORVAL_GetBufferCount(two, &waiting, &free) != 0u; }));
    length = 0;
    EXPECT_NE(QORVAL_GetData(two, buffer.data(), 4096, &length), 0u);
    EXPECT_EQ(length, 0u);
    (void)QORVAL_PortClose(one);
    (void)QORVAL_PortClose(two);
}

}  // namespace
}  // namespace qorval::host::testing
