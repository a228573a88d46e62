// The port access library against an in-process host: opening, the control requests and
// their records, the modem lines across a null-modem pair, clients that die or misbehave and
// a host that is not there.

#include <gtest/gtest.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include "driver/ioctl_codes.h"
#include "driver/ntstatus.h"
#include "host/tests/host_fixture.h"

namespace qorval::host::testing {
namespace {

constexpr uint16_t kWyvel = QORVAL_DRIVER_WYVEL32;

using LibraryOpenTest = HostTest;

TEST_F(LibraryOpenTest, OneHandlePerPortAndClosingFreesIt) {
    StartHost();
    QORVAL_HANDLE first = 0;
    ASSERT_EQ(QORVAL_PortOpen(kWyvel, 1, &first), 0u);
    EXPECT_NE(first, 0u);

    QORVAL_HANDLE second = 0;
    EXPECT_EQ(QORVAL_PortOpen(kWyvel, 1, &second), uint32_t{QORVAL_SHARING_VIOLATION});
    EXPECT_EQ(second, 0u);
    // The other port of the pair is independent.
    LibraryPort other(2);
    EXPECT_EQ(other.open_result(), 0u);

    ASSERT_EQ(QORVAL_PortClose(first), 0u);
    EXPECT_EQ(QORVAL_PortClose(first), uint32_t{QORVAL_INVALID_HANDLE});
    EXPECT_EQ(QORVAL_PortClose(0), uint32_t{QORVAL_INVALID_HANDLE});
    ASSERT_EQ(QORVAL_PortOpen(kWyvel, 1, &second), 0u);
    EXPECT_NE(second, first) << "handles are not reused";
    EXPECT_EQ(QORVAL_PortClose(second), 0u);
}

TEST_F(LibraryOpenTest, OpenNamesOnlyThisDriversExistingPorts) {
    StartHost();
    QORVAL_HANDLE handle = 0;
    EXPECT_EQ(QORVAL_PortOpen(QORVAL_DRIVER_FENDAR5, 1, &handle),
              uint32_t{QORVAL_INVALID_DRIVER_TYPE});
    EXPECT_EQ(QORVAL_PortOpen(kWyvel, 0, &handle), uint32_t{QORVAL_PORT_NUMBER});
    EXPECT_EQ(QORVAL_PortOpen(kWyvel, 3, &handle), uint32_t{QORVAL_PORT_NUMBER});
    EXPECT_EQ(QORVAL_PortOpen(kWyvel, 33, &handle), uint32_t{QORVAL_PORT_NUMBER});
    EXPECT_EQ(handle, 0u);
}

TEST_F(LibraryOpenTest, SystemInfoListsTheStartedPorts) {
    StartHost();
    SystemInfo info{};
    ASSERT_EQ(QORVAL_GetSystemInfo(&info), 0u);
    const SystemInfoDriver& wyvel = info.drivers[QORVAL_DRIVER_WYVEL32];
    EXPECT_NE(wyvel.present, 0u);
    EXPECT_NE(wyvel.ports[0].present, 0u);
    EXPECT_NE(wyvel.ports[1].present, 0u);
    EXPECT_EQ(wyvel.ports[2].present, 0u);
    EXPECT_EQ(info.drivers[QORVAL_DRIVER_HESTABE5].present, 0u);
}

TEST_F(LibraryOpenTest, AClientKilledHoldingThePortFreesIt) {
    StartHost();
    int ready[2];
    ASSERT_EQ(::pipe(ready), 0);
    const pid_t child = ::fork();
    ASSERT_GE(child, 0);
    if (child == 0) {
        // The child opens the port, says so and waits to be killed.
        QORVAL_HANDLE handle = 0;
        const char result = static_cast<char>(QORVAL_PortOpen(kWyvel, 1, &handle));
        (void)::write(ready[1], &result, 1);
        while (true) {
            ::pause();
        }
    }
    ::close(ready[1]);
    char child_result = -1;
    ASSERT_EQ(::read(ready[0], &child_result, 1), 1);
    ::close(ready[0]);
    EXPECT_EQ(child_result, 0);
    QORVAL_HANDLE handle = 0;
    EXPECT_EQ(QORVAL_PortOpen(kWyvel, 1, &handle), uint32_t{QORVAL_SHARING_VIOLATION});

    ::kill(child, SIGKILL);
    int status = 0;
    ASSERT_EQ(::waitpid(child, &status, 0), child);
    // The host sees the connection end and cleans the handle up and closes it.
    EXPECT_TRUE(WaitFor([&] { return QORVAL_PortOpen(kWyvel, 1, &handle) == 0; }));
    EXPECT_EQ(QORVAL_PortClose(handle), 0u);
}

TEST_F(LibraryOpenTest, WithoutAHostEveryCallFailsAtOnce) {
    // No host in this prefix at all.
    SystemInfo info{};
    EXPECT_NE(QORVAL_GetSystemInfo(&info), 0u);
    QORVAL_HANDLE handle = 0;
    EXPECT_EQ(QORVAL_PortOpen(kWyvel, 1, &handle), uint32_t{QORVAL_PORT_NUMBER});

    // A host that goes away under open handles: the connection ends, so no call waits for
    // the library's reply timeout.
    StartHost();
    LibraryPort port(1);
    ASSERT_EQ(port.open_result(), 0u);
    StopHost();
    const auto start = std::chrono::steady_clock::now();
    uint8_t buffer[64] = {};
    uint32_t length = 0;
    uint16_t a = 0, b = 0;
    PortInfo port_info{};
    PortState state{};
    EXPECT_NE(QORVAL_GetData(port.handle(), buffer, sizeof(buffer), &length), 0u);
    EXPECT_EQ(length, 0u);
    EXPECT_NE(QORVAL_PutData(port.handle(), buffer, 10), 0u);
    EXPECT_NE(QORVAL_GetBufferCount(port.handle(), &a, &b), 0u);
    EXPECT_NE(QORVAL_GetPortInfo(port.handle(), &port_info), 0u);
    EXPECT_NE(QORVAL_GetPortState(port.handle(), &state), 0u);
    EXPECT_NE(QORVAL_SetPortState(port.handle(), &state), 0u);
    EXPECT_NE(QORVAL_GetModemControl(port.handle(), &a), 0u);
    EXPECT_NE(QORVAL_SetModemControl(port.handle(), 1), 0u);
    EXPECT_NE(QORVAL_ResetBuffers(port.handle(), QORVAL_RESET_BOTH), 0u);
    EXPECT_NE(QORVAL_SetNodeAddress(port.handle(), 5), 0u);
    EXPECT_NE(QORVAL_GetSystemInfo(&info), 0u);
    EXPECT_EQ(QORVAL_PortOpen(kWyvel, 2, &handle), uint32_t{QORVAL_PORT_NUMBER});
    // Well inside one reply timeout for all of them together.
    EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(4));
}

// ---- Device control requests with every length rule, from a raw client ----

struct LengthCase {
    const char* name;
    uint32_t code;
    uint32_t input;
    uint32_t output;
    uint32_t status;
    uint32_t information;
};

class ControlLengthTest : public HostTest, public ::testing::WithParamInterface<LengthCase> {};

TEST_P(ControlLengthTest, LengthOutsideTheRuleIsRejectedOnce) {
    const LengthCase& c = GetParam();
    StartHost();
    RawClient client;
    ASSERT_EQ(client.Open(1), wyvel32::STATUS_SUCCESS);
    protocol::Request request = ControlRequest(c.code, c.input, c.output);
    if (c.code == wyvel32::IOCTL_RESET_BUFFERS && c.input != 0) {
        request.input[0] = 1;
    }
    protocol::Reply reply;
    ASSERT_TRUE(client.Transact(request, reply));
    EXPECT_EQ(reply.status, c.status) << std::hex << reply.status;
    EXPECT_EQ(reply.information, c.information);
    EXPECT_LE(reply.output.size(), c.output);
    // Exactly one reply per request: the next request gets its own answer.
    ASSERT_TRUE(client.Transact(ControlRequest(wyvel32::IOCTL_GET_BUFFER_COUNT, 0, 4), reply));
    EXPECT_EQ(reply.status, wyvel32::STATUS_SUCCESS);
    EXPECT_EQ(reply.information, 4u);
}

constexpr uint32_t kOk = wyvel32::STATUS_SUCCESS;
constexpr uint32_t kBad = wyvel32::STATUS_INVALID_PARAMETER;
using namespace wyvel32;

INSTANTIATE_TEST_SUITE_P(
    EveryCode, ControlLengthTest,
    ::testing::Values(LengthCase{"SetModemShort", IOCTL_SET_MODEM_CONTROL, 1, 0, kBad, 0},
                      LengthCase{"SetModemLonger", IOCTL_SET_MODEM_CONTROL, 4, 0, kOk, 0},
                      LengthCase{"GetModemShort", IOCTL_GET_MODEM_CONTROL, 0, 1, kBad, 0},
                      LengthCase{"GetModemLonger", IOCTL_GET_MODEM_CONTROL, 0, 8, kOk, 2},
                      LengthCase{"SetStateShort", IOCTL_SET_PORT_STATE, 83, 0, kBad, 0},
                      LengthCase{"SetStateLong", IOCTL_SET_PORT_STATE, 85, 0, kBad, 0},
                      LengthCase{"GetStateShort", IOCTL_GET_PORT_STATE, 0, 83, kBad, 0},
                      LengthCase{"GetStateLong", IOCTL_GET_PORT_STATE, 0, 85, kBad, 0},
                      LengthCase{"GetState", IOCTL_GET_PORT_STATE, 0, 84, kOk, 84},
                      LengthCase{"GetInfo56", IOCTL_GET_PORT_INFO, 0, 56, kBad, 0},
                      LengthCase{"GetInfoLong", IOCTL_GET_PORT_INFO, 0, 69, kBad, 0},
                      LengthCase{"GetInfo", IOCTL_GET_PORT_INFO, 0, 68, kOk, 68},
                      LengthCase{"ResetEmpty", IOCTL_RESET_BUFFERS, 0, 0, kBad, 0},
                      LengthCase{"CountShort", IOCTL_GET_BUFFER_COUNT, 0, 3, kBad, 0},
                      LengthCase{"CountLonger", IOCTL_GET_BUFFER_COUNT, 0, 16, kOk, 4},
                      LengthCase{"NodeEmpty", IOCTL_SET_NODE_ADDRESS, 0, 0, kBad, 0},
                      LengthCase{"UnknownCode", 0x9C40A428, 4, 4, kBad, 0},
                      LengthCase{"OtherDeviceType", 0x0022A404, 2, 0, kBad, 0}),
    [](const ::testing::TestParamInfo<LengthCase>& info) { return std::string(info.param.name); });

// ---- Malformed messages ----

struct MalformedCase {
    const char* name;
    bool open_first;
    std::function<std::vector<uint8_t>()> message;
};

std::vector<uint8_t> Encoded(protocol::Function function, uint32_t code = 0) {
    protocol::Request request;
    request.sequence = 77;
    request.function = function;
    request.control_code = code;
    return protocol::EncodeRequest(request);
}

class MalformedMessageTest : public HostTest,
                             public ::testing::WithParamInterface<MalformedCase> {};

TEST_P(MalformedMessageTest, ErrorReplyThenTheConnectionEndsAndTheHostServesOthers) {
    const MalformedCase& c = GetParam();
    StartHost();
    RawClient client;
    if (c.open_first) {
        ASSERT_EQ(client.Open(1), wyvel32::STATUS_SUCCESS);
    } else {
        ASSERT_TRUE(client.Connect(1));
    }
    ASSERT_TRUE(client.SendBytes(c.message()));
    protocol::Reply reply;
    ASSERT_TRUE(client.Receive(reply));
    EXPECT_EQ(reply.status, wyvel32::STATUS_INVALID_PARAMETER);
    EXPECT_TRUE(client.ClosedByHost());
    // The port is free again and the host still answers.
    LibraryPort port(1);
    EXPECT_EQ(port.open_result(), 0u);
    PortInfo info{};
    EXPECT_EQ(QORVAL_GetPortInfo(port.handle(), &info), 0u);
}

INSTANTIATE_TEST_SUITE_P(
    Messages, MalformedMessageTest,
    ::testing::Values(
        MalformedCase{"Garbage", false,
                      [] {
                          return std::vector<uint8_t>{'h', 'e', 'l', 'l', 'o'};
                      }},
        MalformedCase{"BadMagic", false,
                      [] {
                          auto bytes = Encoded(protocol::Function::Create);
                          bytes[0] ^= 0xFF;
                          return bytes;
                      }},
        MalformedCase{"InputLengthBeyondMessage", true,
                      [] {
                          auto bytes = Encoded(protocol::Function::Write);
                          bytes[20] = 0x40;  // claims 64 input bytes that are not there
                          return bytes;
                      }},
        MalformedCase{"UnknownFunction", true,
                      [] {
                          auto bytes = Encoded(protocol::Function::Read);
                          bytes[8] = 0x77;
                          return bytes;
                      }},
        MalformedCase{"ReadBeforeCreate", false, [] { return Encoded(protocol::Function::Read); }},
        MalformedCase{"SecondCreate", true, [] { return Encoded(protocol::Function::Create); }},
        MalformedCase{"EmptyBeforeCreate", false, [] { return std::vector<uint8_t>{}; }},
        MalformedCase{"Empty", true, [] { return std::vector<uint8_t>{}; }},
        MalformedCase{"OversizedCreate", false,
                      [] {
                          auto bytes = Encoded(protocol::Function::Create);
                          bytes.resize(bytes.size() + 1);
                          return bytes;
                      }},
        MalformedCase{"Oversized", true,
                      [] {
                          protocol::Request write;
                          write.function = protocol::Function::Write;
                          write.input.assign(protocol::kMaxPayload + 1, 0x55);
                          return protocol::EncodeRequest(write);
                      }},
        MalformedCase{"OutputLengthTooLarge", true,
                      [] {
                          auto bytes = Encoded(protocol::Function::Read);
                          bytes[16] = bytes[17] = bytes[18] = bytes[19] = 0xFF;
                          return bytes;
                      }}),
    [](const ::testing::TestParamInfo<MalformedCase>& info) {
        return std::string(info.param.name);
    });

}  // namespace
}  // namespace qorval::host::testing
