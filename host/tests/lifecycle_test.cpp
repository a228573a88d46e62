// Device lifecycle of an in-process host driven through its control socket and kernel model:
// port numbering, the hold list while a stop is pending, a configuration the driver rejects,
// a start without an interrupt, and surprise removal under connected clients.

#include <gtest/gtest.h>

#include <fstream>
#include <sstream>

#include "driver/device_names.h"
#include "driver/ntstatus.h"
#include "host/protocol/control_protocol.h"
#include "host/tests/host_fixture.h"
#include "kernel/device_object.h"
#include "platform/paths.h"
#include "portaccess/port_loss.h"

namespace qorval::host::testing {
namespace {

using LifecycleTest = HostTest;
using kernel::IoManager;

// Lines of the event log holding an error event (codes 0xE00700xx).
int ErrorEvents() {
    std::ifstream log(platform::LogDir() / "wyvel32.log");
    int count = 0;
    for (std::string line; std::getline(log, line);) {
        std::string upper = line;
        for (char& c : upper) {
            c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
        }
        count += upper.find("E00700") != std::string::npos ? 1 : 0;
    }
    return count;
}

bool SocketExists(unsigned port) {
    return std::filesystem::exists(platform::RunDir() / protocol::DeviceSocketName(port));
}

bool LinkExists(IoManager& kernel, unsigned port) {
    const std::string wanted = wyvel32::LinkNameFor(port);
    for (const auto& [link, target] : kernel.SymbolicLinks()) {
        if (link == wanted) {
            return true;
        }
    }
    return false;
}

TEST_F(LifecycleTest, ArrivalsTakeTheLowestFreePortNumber) {
    BusOptions options = PairAtUnlimitedRate(0);
    StartHost(options);
    EXPECT_EQ(ControlCommand("add"), "ok\nport 1\n");
    EXPECT_EQ(ControlCommand("add"), "ok\nport 2\n");
    EXPECT_EQ(ControlCommand("add"), "ok\nport 3\n");
    EXPECT_EQ(ControlCommand("remove 2"), "ok\n");
    EXPECT_FALSE(SocketExists(2));
    EXPECT_EQ(ControlCommand("add"), "ok\nport 2\n");
    EXPECT_EQ(ControlCommand("add"), "ok\nport 4\n");
    EXPECT_TRUE(WaitFor([] { return SocketExists(2); }));
    LibraryPort port(2);
    EXPECT_EQ(port.open_result(), 0u);
}

// The driver numbers 32 ports; a 33rd arrival gets no number, and the command says so instead
// of reporting a bare start failure. The function leaves the bus, so a port freed later is
// taken by the next arrival as usual.
TEST_F(LifecycleTest, AnArrivalBeyondThirtyTwoPortsIsToldThereIsNoNumberLeft) {
    StartHost(PairAtUnlimitedRate(32));
    EXPECT_EQ(ControlCommand("add"),
              "error: no port number is free: the driver serves at most 32 ports\n");
    std::vector<protocol::PortListing> ports;
    ASSERT_EQ(protocol::ParsePortList(ControlCommand("list"), ports), "");
    EXPECT_EQ(ports.size(), 32u);
    EXPECT_EQ(ControlCommand("remove 5"), "ok\n");
    EXPECT_EQ(ControlCommand("add"), "ok\nport 5\n");
}

TEST_F(LifecycleTest, ARequestHeldWhileStopPendingIsCancelledByCleanup) {
    StartHost();
    IoManager& kernel = host().kernel();
    const uint32_t device = DeviceOfPort(1);
    ASSERT_NE(device, 0u);
    IoManager::Handle handle = 0;
    ASSERT_EQ(kernel.Open(wyvel32::LinkNameFor(1), 0, &handle), wyvel32::STATUS_SUCCESS);
    ASSERT_EQ(kernel.QueryStopDevice(device), wyvel32::STATUS_SUCCESS);

    std::atomic<int> completions{0};
    std::atomic<uint32_t> status{0};
    kernel.Read(handle, 512, [&](kernel::NTSTATUS s, uint64_t, std::span<const uint8_t>) {
        status = s;
        completions.fetch_add(1);
    });
    EXPECT_EQ(completions.load(), 0) << "held, not served";
    EXPECT_EQ(kernel.OutstandingRequests(handle), 1u);

    ASSERT_EQ(kernel.CloseHandle(handle), wyvel32::STATUS_SUCCESS);
    EXPECT_EQ(completions.load(), 1);
    EXPECT_EQ(status.load(), wyvel32::STATUS_CANCELLED);

    // Cancelling the stop lets the device work again.
    ASSERT_EQ(kernel.CancelStopDevice(device), wyvel32::STATUS_SUCCESS);
    LibraryPort port(1);
    EXPECT_EQ(port.open_result(), 0u);
}

TEST_F(LifecycleTest, AHeldWriteIsReplayedWhenTheStopIsCancelled) {
    StartHost();
    IoManager& kernel = host().kernel();
    const uint32_t device = DeviceOfPort(1);
    LibraryPort peer(2);
    ASSERT_EQ(peer.open_result(), 0u);
    IoManager::Handle handle = 0;
    ASSERT_EQ(kernel.Open(wyvel32::LinkNameFor(1), 0, &handle), wyvel32::STATUS_SUCCESS);
    ASSERT_EQ(kernel.QueryStopDevice(device), wyvel32::STATUS_SUCCESS);

    const auto frame = PatternFrame(48, 3);
    std::atomic<int> completions{0};
    std::atomic<uint64_t> written{0};
    kernel.Write(handle, frame,
                 [&](kernel::NTSTATUS s, uint64_t information, std::span<const uint8_t>) {
                     EXPECT_EQ(s, wyvel32::STATUS_SUCCESS);
                     written = information;
                     completions.fetch_add(1);
                 });
    EXPECT_EQ(completions.load(), 0);
    ASSERT_EQ(kernel.CancelStopDevice(device), wyvel32::STATUS_SUCCESS);
    EXPECT_TRUE(WaitFor([&] { return completions.load() == 1; }));
    EXPECT_EQ(written.load(), frame.size());
    std::vector<uint8_t> got;
    ASSERT_EQ(peer.AwaitFrame(got), 0u);
    EXPECT_EQ(got, frame);
    ASSERT_EQ(kernel.CloseHandle(handle), wyvel32::STATUS_SUCCESS);
    EXPECT_EQ(completions.load(), 1);
}

TEST_F(LifecycleTest, ARejectedConfigurationFailsTheStartWithOneEventAndNoLink) {
    WriteDefaultKeys();
    SetPortValue(1, "TxBuffSize", 8);  // below the smallest buffer
    const int events_before = ErrorEvents();
    const std::string warnings = StartHost();
    EXPECT_NE(warnings.find("slot 1"), std::string::npos) << warnings;
    EXPECT_EQ(ErrorEvents(), events_before + 1);
    EXPECT_FALSE(LinkExists(host().kernel(), 1));
    EXPECT_FALSE(SocketExists(1));
    EXPECT_EQ(host().kernel().MappedRanges(), 2) << "only the started port keeps its windows";
    QORVAL_HANDLE handle = 0;
    EXPECT_EQ(QORVAL_PortOpen(QORVAL_DRIVER_WYVEL32, 1, &handle), uint32_t{QORVAL_PORT_NUMBER});
    // The other port is not affected.
    LibraryPort other(2);
    EXPECT_EQ(other.open_result(), 0u);
}

TEST_F(LifecycleTest, AStartWithoutAnInterruptIsAConfigurationError) {
    StartHost();
    IoManager& kernel = host().kernel();
    const uint32_t device = DeviceOfPort(1);
    ASSERT_NE(device, 0u);
    ASSERT_EQ(ControlCommand("stop 1"), "ok\n");
    EXPECT_FALSE(LinkExists(kernel, 1));

    const auto* info = static_cast<const kernel::PhysicalDeviceInfo*>(
        kernel.PhysicalDevice(device)->DeviceExtension);
    ASSERT_NE(info, nullptr);
    const kernel::ResourceList raw = *info->RawResources;
    const kernel::ResourceList translated = *info->TranslatedResources;
    auto without_interrupt = [](kernel::ResourceList list) {
        std::erase_if(list, [](const kernel::ResourceDescriptor& d) {
            return d.type == kernel::ResourceDescriptor::Type::Interrupt;
        });
        return list;
    };
    kernel.SetResources(device, without_interrupt(raw), without_interrupt(translated));
    EXPECT_EQ(kernel.StartDevice(device), wyvel32::STATUS_DEVICE_CONFIGURATION_ERROR);
    EXPECT_FALSE(LinkExists(kernel, 1));

    // With its interrupt back the device starts and carries frames again.
    kernel.SetResources(device, raw, translated);
    ASSERT_EQ(ControlCommand("start 1"), "ok\n");
    EXPECT_TRUE(WaitFor([] { return SocketExists(1); }));
    LibraryPort one(1);
    LibraryPort two(2);
    ASSERT_EQ(one.open_result(), 0u);
    const auto frame = PatternFrame(20, 4);
    ASSERT_EQ(QORVAL_PutData(one.handle(), frame.data(), 20), 0u);
    std::vector<uint8_t> got;
    ASSERT_EQ(two.AwaitFrame(got), 0u);
    EXPECT_EQ(got, frame);
}

TEST_F(LifecycleTest, SurpriseRemovalFailsConnectedClientsAndTheHostStillStops) {
    StartHost();
    LibraryPort one(1);
    LibraryPort two(2);
    ASSERT_EQ(one.open_result(), 0u);
    ASSERT_EQ(two.open_result(), 0u);
    ASSERT_EQ(ControlCommand("surprise-remove 2"), "ok\n");
    std::vector<uint8_t> buffer(64);
    uint32_t length = 0;
    EXPECT_EQ(QORVAL_GetData(two.handle(), buffer.data(), 64, &length),
              uint32_t{QORVAL_PORT_NOT_OPEN});
    EXPECT_EQ(QORVAL_PutData(two.handle(), buffer.data(), 64), uint32_t{QORVAL_PORT_NOT_OPEN});
    PortInfo info{};
    EXPECT_EQ(QORVAL_GetPortInfo(two.handle(), &info), uint32_t{QORVAL_PORT_NOT_OPEN});
    QORVAL_HANDLE again = 0;
    EXPECT_NE(QORVAL_PortOpen(QORVAL_DRIVER_WYVEL32, 2, &again), 0u);
    // Its partner still works as a port, its line now leads nowhere.
    EXPECT_EQ(QORVAL_PutData(one.handle(), buffer.data(), 64), 0u);

    // The handle outlives the device object: still "port not open", not a hang or a crash.
    ASSERT_EQ(ControlCommand("remove 2"), "ok\n");
    EXPECT_EQ(QORVAL_GetData(two.handle(), buffer.data(), 64, &length),
              uint32_t{QORVAL_PORT_NOT_OPEN});
    // Stopping the host with a client still connected ends every connection.
    StopHost();
    EXPECT_NE(QORVAL_GetBufferCount(one.handle(), reinterpret_cast<uint16_t*>(&length),
                                    reinterpret_cast<uint16_t*>(&length) + 1),
              0u);
}

// The tools' test for a port that has gone (portaccess/port_loss.h) against this library's real
// results: a removed port, a host that stopped, and a host started again since, whose new
// handles work while the old one stays dead. A failure of a sound port keeps it.
TEST_F(LifecycleTest, APortThatHasGoneIsToldFromARequestThatFailed) {
    StartHost();
    LibraryPort one(1);
    LibraryPort two(2);
    ASSERT_EQ(one.open_result(), 0u);
    ASSERT_EQ(two.open_result(), 0u);
    EXPECT_EQ(RecognisePortLoss(one.handle(), QORVAL_DRIVER_WYVEL32, 1, QORVAL_GENERAL_ERROR),
              PortLoss::kNone);
    ASSERT_EQ(ControlCommand("surprise-remove 2"), "ok\n");
    std::vector<uint8_t> buffer(64);
    uint32_t length = 0;
    const uint32_t removed = QORVAL_GetData(two.handle(), buffer.data(), 64, &length);
    EXPECT_EQ(RecognisePortLoss(two.handle(), QORVAL_DRIVER_WYVEL32, 2, removed),
              PortLoss::kPortRemoved);
    EXPECT_EQ(RecognisePortLoss(one.handle(), QORVAL_DRIVER_WYVEL32, 1, QORVAL_GENERAL_ERROR),
              PortLoss::kNone)
        << "its partner is still there";

    StopHost();
    const uint32_t stopped = QORVAL_GetData(one.handle(), buffer.data(), 64, &length);
    EXPECT_EQ(RecognisePortLoss(one.handle(), QORVAL_DRIVER_WYVEL32, 1, stopped),
              PortLoss::kHostGone);
    StartHost();
    EXPECT_EQ(RecognisePortLoss(one.handle(), QORVAL_DRIVER_WYVEL32, 1, QORVAL_GENERAL_ERROR),
              PortLoss::kHostGone)
        << "a new host does not serve the old handle";
    EXPECT_EQ(QORVAL_PortClose(one.handle()), 0u);
    LibraryPort again(1);
    EXPECT_EQ(again.open_result(), 0u);
}

TEST_F(LifecycleTest, SurpriseRemovalEndsAWaitingOverlappedRead) {
    StartHost();
    RawClient client;
    ASSERT_EQ(client.Open(1, /*synchronous=*/false), wyvel32::STATUS_SUCCESS);
    protocol::Request read;
    read.function = protocol::Function::Read;
    read.output_length = 1024;
    ASSERT_TRUE(client.Send(read));
    ASSERT_EQ(ControlCommand("surprise-remove 1"), "ok\n");
    ASSERT_EQ(ControlCommand("remove 1"), "ok\n");
    // The waiting read is answered once (cancelled at the latest when the handle goes) and
    // the host can still be stopped with the client connected.
    StopHost();
    protocol::Reply reply;
    if (client.Receive(reply)) {
        EXPECT_NE(reply.status, wyvel32::STATUS_SUCCESS);
    }
    EXPECT_TRUE(client.ClosedByHost());
}

}  // namespace
}  // namespace qorval::host::testing
