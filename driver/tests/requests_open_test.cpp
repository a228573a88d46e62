// Names, exclusive open, the open-time configuration pass, close and cleanup.

#include "driver/device_names.h"
#include "driver/events.h"
#include "driver/ioctl_codes.h"
#include "driver/port_records.h"
#include "driver/tests/requests_fixture.h"

namespace wyvel32::testing {
namespace {

using namespace qorval::kernel;

TEST(RequestNames, DeviceAndLinkNamesCarryThePortDigits) {
    struct Case {
        uint32_t port;
        const char* device;
        const char* link;
    };
    const Case cases[] = {
        {1, "\\Device\\Wyvel32_000", "\\DosDevices\\Wyvel32_001"},
        {10, "\\Device\\Wyvel32_009", "\\DosDevices\\Wyvel32_0010"},
        {11, "\\Device\\Wyvel32_0010", "\\DosDevices\\Wyvel32_0011"},
        {32, "\\Device\\Wyvel32_0031", "\\DosDevices\\Wyvel32_0032"},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(DeviceNameFor(c.port), c.device);
        EXPECT_EQ(LinkNameFor(c.port), c.link);
    }
}

using RequestOpen = RequestsFixture;

TEST_F(RequestOpen, OneHandleAtATimeAndCloseFreesThePort) {
    AddAndStart(0);
    const IoManager::Handle first = Open(1);
    IoManager::Handle second = 0;
    EXPECT_EQ(OpenPort(1, true, &second), STATUS_ACCESS_DENIED);
    EXPECT_EQ(kernel->CloseHandle(first), STATUS_SUCCESS);
    EXPECT_EQ(OpenPort(1, false, &second), STATUS_SUCCESS);
    EXPECT_EQ(OpenPort(2, false, &second), STATUS_OBJECT_NAME_NOT_FOUND);
}

TEST_F(RequestOpen, OpenReadsTheRegistryAgainAndCloseStopsTheChannel) {
    AddAndStart(0);
    SetPortValue(1, "Divisor", 300);
    const IoManager::Handle handle = Open(1);
    const Result state = Control(handle, IOCTL_GET_PORT_STATE, {}, kPortStateSize);
    ASSERT_EQ(state.status, STATUS_SUCCESS);
    EXPECT_EQ(state.output[port_state::kDivisor] | (state.output[port_state::kDivisor + 1] << 8),
              300);
    EXPECT_NE(cards[0]->PeekBoard(0), 0);  // board enabled while open
    kernel->CloseHandle(handle);
    EXPECT_EQ(cards[0]->PeekBoard(0), 0);  // StopPort disabled it
}

TEST_F(RequestOpen, RejectedConfigurationFailsTheOpenWithItsEvent) {
    AddAndStart(0);
    SetPortValue(1, "IdleState", 7);
    events.Clear();
    IoManager::Handle handle = 0;
    EXPECT_EQ(OpenPort(1, true, &handle), STATUS_UNSUCCESSFUL);
    EXPECT_EQ(EventCodes(), std::vector<uint32_t>{EVENT_BAD_VALUE});
    SetPortValue(1, "IdleState", 0);
    EXPECT_EQ(OpenPort(1, true, &handle), STATUS_SUCCESS);  // the failed open left no handle
}

TEST_F(RequestOpen, ABoardThatFailsItsResetFailsTheOpen) {
    AddAndStart(0);
    cards[0]->InjectResetNeverCompletes(true);
    IoManager::Handle handle = 0;
    EXPECT_EQ(OpenPort(1, true, &handle), STATUS_UNSUCCESSFUL);
    cards[0]->ClearFaults();
    EXPECT_EQ(OpenPort(1, true, &handle), STATUS_SUCCESS);
}

TEST_F(RequestOpen, ADeviceNeverStartedCannotBeOpenedByItsDeviceName) {
    Announce(0);
    IoManager::Handle handle = 0;
    EXPECT_EQ(kernel->Open(DeviceNameFor(1), 0, &handle), STATUS_NO_SUCH_DEVICE);
    EXPECT_EQ(OpenPort(1, true, &handle), STATUS_OBJECT_NAME_NOT_FOUND);  // no link yet
}

}  // namespace
}  // namespace wyvel32::testing
