// Driver load, port numbering, start and its resource rules, the Plug and Play states with
// the request gate and hold list, removal and power.

#include "driver/device_names.h"
#include "driver/driver_entry.h"
#include "driver/events.h"
#include "driver/ioctl_codes.h"
#include "driver/tests/requests_fixture.h"

namespace wyvel32::testing {
namespace {

using namespace qorval::kernel;

using Lifecycle = RequestsFixture;

std::vector<std::string> LinkNames(IoManager& kernel) {
    std::vector<std::string> names;
    for (const auto& [link, target] : kernel.SymbolicLinks()) {
        names.push_back(link);
    }
    return names;
}

TEST_F(Lifecycle, DriverLoadLogsItsEvents) {
    EXPECT_EQ(EventCodes(), (std::vector<uint32_t>{EVENT_DRIVER_LOADED, EVENT_DRIVER_INIT_OK}));
}

TEST_F(Lifecycle, DriverLoadWithoutARegistryFails) {
    IoManager other;
    SetDriverPlatform(nullptr, &events);
    events.Clear();
    EXPECT_EQ(other.LoadDriver("Wyvel32", DriverEntry, kServiceKeyPath), STATUS_UNSUCCESSFUL);
    EXPECT_EQ(EventCodes(), (std::vector<uint32_t>{EVENT_DRIVER_LOADED, EVENT_DRIVER_INIT_FAILED}));
    SetDriverPlatform(&registry, &events);
}

TEST_F(Lifecycle, PortsAreNumberedInArrivalOrderAndReused) {
    const auto one = AddAndStart(0);
    const auto two = AddAndStart(1);
    AddAndStart(2);
    EXPECT_EQ(LinkNames(*kernel),
              (std::vector<std::string>{"\\DosDevices\\Wyvel32_001", "\\DosDevices\\Wyvel32_002",
                                        "\\DosDevices\\Wyvel32_003"}));
    ASSERT_EQ(kernel->RemoveDevice(two), STATUS_SUCCESS);
    AddAndStart(1);
    ASSERT_NE(Device(2), nullptr);
    EXPECT_EQ(Device(2)->Self->Name, "\\Device\\Wyvel32_001");

    // A stopped device keeps its number: a device added meanwhile takes the next free one.
    ASSERT_EQ(kernel->QueryStopDevice(one), STATUS_SUCCESS);
    ASSERT_EQ(kernel->StopDevice(one), STATUS_SUCCESS);
    Announce(3);
    EXPECT_NE(Device(4), nullptr);
    EXPECT_EQ(kernel->StartDevice(one), STATUS_SUCCESS);
    EXPECT_EQ(Device(1)->State.load(), PnpState::Started);
}

TEST_F(Lifecycle, StartNeedsBothResourceListsAndAnInterrupt) {
    const auto id = Announce(0, false);
    EXPECT_EQ(kernel->StartDevice(id), STATUS_DEVICE_CONFIGURATION_ERROR);
    kernel->SetResources(id, std::nullopt, ResourceList{});
    EXPECT_EQ(kernel->StartDevice(id), STATUS_DEVICE_CONFIGURATION_ERROR);
    EXPECT_TRUE(LinkNames(*kernel).empty());
    EXPECT_EQ(kernel->MappedRanges(), 0);
    EXPECT_EQ(Device(1)->State.load(), PnpState::NeverStarted);
}

TEST_F(Lifecycle, ARejectedConfigurationFailsTheStartWithOneEventAndNoLink) {
    const auto id = AddAndStart(0);  // writes the default key
    ASSERT_EQ(kernel->RemoveDevice(id), STATUS_SUCCESS);
    SetPortValue(1, "RxBuffers", 1);
    events.Clear();
    const auto again = Announce(0);
    EXPECT_EQ(kernel->StartDevice(again), STATUS_UNSUCCESSFUL);
    EXPECT_EQ(EventCodes(), std::vector<uint32_t>{EVENT_TOO_FEW_BUFFERS});
    EXPECT_TRUE(LinkNames(*kernel).empty());
    EXPECT_EQ(kernel->MappedRanges(), 0);
}

TEST_F(Lifecycle, ABoardThatIsAbsentFailsTheStartAndGivesEverythingBack) {
    cards[0]->InjectBoardAbsent(true);
    const auto id = Announce(0);
    EXPECT_EQ(kernel->StartDevice(id), STATUS_UNSUCCESSFUL);
    EXPECT_EQ(EventCodes().back(), EVENT_BOARD_ABSENT);
    EXPECT_TRUE(LinkNames(*kernel).empty());
    EXPECT_EQ(kernel->MappedRanges(), 0);
    EXPECT_EQ(kernel->ConnectedInterrupts(), 0u);
}

TEST_F(Lifecycle, StopReleasesTheHardwareAndStartTakesItAgain) {
    const auto id = AddAndStart(0);
    EXPECT_EQ(kernel->MappedRanges(), 2);
    EXPECT_EQ(kernel->ConnectedInterrupts(), 1u);
    ASSERT_EQ(kernel->QueryStopDevice(id), STATUS_SUCCESS);
    ASSERT_EQ(kernel->StopDevice(id), STATUS_SUCCESS);
    EXPECT_EQ(kernel->MappedRanges(), 0);
    EXPECT_EQ(kernel->ConnectedInterrupts(), 0u);
    EXPECT_TRUE(LinkNames(*kernel).empty());
    EXPECT_EQ(Device(1)->State.load(), PnpState::Stopped);
    ASSERT_EQ(kernel->StartDevice(id), STATUS_SUCCESS);
    EXPECT_EQ(LinkNames(*kernel), std::vector<std::string>{"\\DosDevices\\Wyvel32_001"});
    Open(1);
}

TEST_F(Lifecycle, AReadWhileStopPendingIsHeldAndCancelledByCleanup) {
    const auto id = AddAndStart(0);
    const IoManager::Handle handle = Open(1);
    ASSERT_EQ(kernel->QueryStopDevice(id), STATUS_SUCCESS);
    Pending read;
    kernel->Read(handle, 64, read.Callback());
    EXPECT_FALSE(read.Done());
    EXPECT_EQ(Device(1)->HoldList.Size(), 1u);
    EXPECT_EQ(kernel->CloseHandle(handle), STATUS_SUCCESS);
    EXPECT_EQ(read.Get().status, STATUS_CANCELLED);
    EXPECT_EQ(Device(1)->HoldList.Size(), 0u);
}

TEST_F(Lifecycle, HeldRequestsGoToTheDriversOwnHandlersWhenTheQueryIsCancelled) {
    const auto id = AddAndStart(0);
    const IoManager::Handle handle = Open(1);
    ASSERT_EQ(kernel->QueryRemoveDevice(id), STATUS_SUCCESS);
    Pending write;
    Pending count;
    kernel->Write(handle, Frame(12, 1), write.Callback());
    kernel->DeviceControl(handle, IOCTL_GET_BUFFER_COUNT, {}, 4, count.Callback());
    EXPECT_FALSE(write.Done());
    ASSERT_EQ(kernel->CancelRemoveDevice(id), STATUS_SUCCESS);
    EXPECT_EQ(Device(1)->State.load(), PnpState::Started);
    // Sent to the bus they would have failed; served here they succeed.
    EXPECT_EQ(write.Get().status, STATUS_SUCCESS);
    EXPECT_EQ(write.Get().information, 12u);
    EXPECT_EQ(count.Get().status, STATUS_SUCCESS);
}

TEST_F(Lifecycle, SurpriseRemovalFailsEverythingButLetsTheClientClose) {
    const auto id = AddAndStart(0);
    const IoManager::Handle handle = Open(1, false);
    Pending waiting;
    kernel->Read(handle, 64, waiting.Callback());
    ASSERT_EQ(kernel->QueryStopDevice(id), STATUS_SUCCESS);
    Pending held;
    kernel->Write(handle, Frame(5, 2), held.Callback());
    ASSERT_EQ(kernel->SurpriseRemoveDevice(id), STATUS_SUCCESS);
    EXPECT_EQ(held.Get().status, STATUS_DELETE_PENDING);
    EXPECT_EQ(Write(handle, Frame(5, 3)).status, STATUS_DELETE_PENDING);
    EXPECT_EQ(Control(handle, IOCTL_GET_PORT_INFO, {}, 68).status, STATUS_DELETE_PENDING);
    IoManager::Handle other = 0;
    EXPECT_EQ(OpenPort(1, true, &other), STATUS_OBJECT_NAME_NOT_FOUND);
    EXPECT_EQ(kernel->MappedRanges(), 0);
    EXPECT_EQ(kernel->CloseHandle(handle), STATUS_SUCCESS);
    EXPECT_EQ(waiting.Get().status, STATUS_CANCELLED);
    EXPECT_EQ(kernel->RemoveDevice(id), STATUS_SUCCESS);
    EXPECT_EQ(Device(1), nullptr);
}

TEST_F(Lifecycle, SleepHoldsRequestsAndWakeLetsThemOn) {
    const auto id = AddAndStart(0);
    const IoManager::Handle handle = Open(1);
    ASSERT_EQ(kernel->SendSystemPower(id, IRP_MN_SET_POWER, SystemPowerState::Sleeping3),
              STATUS_SUCCESS);
    EXPECT_EQ(Device(1)->DevicePower.load(), DevicePowerState::D3);
    EXPECT_EQ(Device(1)->Self->ReportedPowerState.load(), DevicePowerState::D3);
    Pending count;
    kernel->DeviceControl(handle, IOCTL_GET_BUFFER_COUNT, {}, 4, count.Callback());
    EXPECT_FALSE(count.Done());
    ASSERT_EQ(kernel->SendSystemPower(id, IRP_MN_SET_POWER, SystemPowerState::Working),
              STATUS_SUCCESS);
    EXPECT_EQ(Device(1)->DevicePower.load(), DevicePowerState::D0);
    EXPECT_EQ(count.Get().status, STATUS_SUCCESS);
    EXPECT_EQ(kernel->SendSystemControl(id, 0), STATUS_NOT_SUPPORTED);  // passed to the bus
}

TEST_F(Lifecycle, AHandleThatOutlivesRemovalGetsPendingDeleteAndCanClose) {
    const auto id = AddAndStart(0);
    const IoManager::Handle handle = Open(1);
    ASSERT_EQ(kernel->RemoveDevice(id), STATUS_SUCCESS);
    EXPECT_EQ(Read(handle, 10).status, STATUS_DELETE_PENDING);
    EXPECT_EQ(kernel->CloseHandle(handle), STATUS_SUCCESS);
}

}  // namespace
}  // namespace wyvel32::testing
