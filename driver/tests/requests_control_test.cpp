// The eight control requests: length rules, records, buffer resets and counts, modem lines.

#include <cstring>

#include "driver/ioctl_codes.h"
#include "driver/modem_lines.h"
#include "driver/port_records.h"
#include "driver/tests/requests_fixture.h"

namespace wyvel32::testing {
namespace {

using namespace qorval::kernel;

uint32_t U16(const std::vector<uint8_t>& bytes, size_t offset) {
    return bytes[offset] | (bytes[offset + 1] << 8);
}
uint32_t U32(const std::vector<uint8_t>& bytes, size_t offset) {
    return U16(bytes, offset) | (U16(bytes, offset + 2) << 16);
}

class RequestControl : public RequestsFixture {
  protected:
    void SetUp() override {
        RequestsFixture::SetUp();
        AddAndStart(0);
        AddAndStart(1);
        WirePair();
        first = Open(1);
        second = Open(2);
    }
    IoManager::Handle first = 0;
    IoManager::Handle second = 0;
};

TEST_F(RequestControl, LengthsOutsideEachRuleAreInvalidParameters) {
    struct Case {
        uint32_t code;
        uint32_t input;
        uint32_t output;
    };
    const Case cases[] = {
        {IOCTL_SET_MODEM_CONTROL, 1, 0}, {IOCTL_GET_MODEM_CONTROL, 0, 1},
        {IOCTL_SET_PORT_STATE, 83, 0},   {IOCTL_SET_PORT_STATE, 85, 0},
        {IOCTL_GET_PORT_STATE, 0, 83},   {IOCTL_GET_PORT_STATE, 0, 100},
        {IOCTL_GET_PORT_INFO, 0, 56},    {IOCTL_GET_PORT_INFO, 0, 69},
        {IOCTL_RESET_BUFFERS, 0, 0},     {IOCTL_GET_BUFFER_COUNT, 0, 3},
        {IOCTL_SET_NODE_ADDRESS, 0, 0},  {0x9C40A410, 4, 4},  // not a code of this driver
    };
    for (const Case& c : cases) {
        Pending pending;
        kernel->DeviceControl(first, c.code, std::vector<uint8_t>(c.input, 1), c.output,
                              pending.Callback());
        ASSERT_TRUE(pending.Done());
        EXPECT_EQ(pending.Calls(), 1);
        EXPECT_EQ(pending.Get().status, STATUS_INVALID_PARAMETER) << std::hex << c.code;
        EXPECT_EQ(pending.Get().information, 0u);
    }
}

TEST_F(RequestControl, PortInfoDescribesThePortFromItsConfiguration) {
    const Result info = Control(first, IOCTL_GET_PORT_INFO, {}, kPortInfoSize);
    ASSERT_EQ(info.status, STATUS_SUCCESS);
    ASSERT_EQ(info.output.size(), 68u);
    EXPECT_EQ(U32(info.output, port_info::kCapabilities), 0x0001FE10u);
    EXPECT_EQ(U16(info.output, port_info::kIoBase), 0xE000u);
    EXPECT_EQ(U16(info.output, port_info::kMemoryBase), (0xF8000000u >> 4) & 0xFFFF);
    EXPECT_EQ(U16(info.output, port_info::kTxDmaChannel), 0xFFFFu);
    EXPECT_EQ(U16(info.output, port_info::kMaxTxFrame), 1024u);
    EXPECT_EQ(U16(info.output, port_info::kRxBuffers), 100u);
    EXPECT_EQ(U16(info.output, port_info::kCardType), 13u);
    EXPECT_EQ(U16(info.output, port_info::kChannel), 0u);
    EXPECT_EQ(U16(info.output, port_info::kCrcMode), 4u);
    EXPECT_EQ(U16(info.output, port_info::kChip), 2u);
    EXPECT_STREQ(reinterpret_cast<const char*>(info.output.data() + port_info::kOscillator),
                 "20.000");
    EXPECT_EQ(U16(Control(second, IOCTL_GET_PORT_INFO, {}, 68).output, port_info::kChannel), 1u);
}

TEST_F(RequestControl, PortStateCountsFramesAndTakesValuesUnvalidated) {
    Write(first, Frame(20, 1));
    Pump();
    const Result before = Control(second, IOCTL_GET_PORT_STATE, {}, kPortStateSize);
    ASSERT_EQ(before.status, STATUS_SUCCESS);
    EXPECT_EQ(U16(before.output, port_state::kDivisor), 126u);
    EXPECT_EQ(before.output[port_state::kClockMultiplier], 1);
    EXPECT_EQ(before.output[port_state::kDataBits], 8);
    EXPECT_EQ(U32(before.output, port_state::kRxFramesReceived), 1u);
    EXPECT_EQ(U32(Control(first, IOCTL_GET_PORT_STATE, {}, 84).output, port_state::kTxFramesSent),
              1u);

    // TxClock 5 is not checked; the channel still programs.
    std::vector<uint8_t> record = before.output;
    record[port_state::kTxClock] = 5;
    record[port_state::kSyncNodeAddress] = 0x42;
    const Result set = Control(second, IOCTL_SET_PORT_STATE, record, 0);
    EXPECT_EQ(set.status, STATUS_SUCCESS);
    EXPECT_EQ(set.information, 84u);
    const Result after = Control(second, IOCTL_GET_PORT_STATE, {}, 84);
    EXPECT_EQ(after.output[port_state::kTxClock], 5);
    EXPECT_EQ(after.output[port_state::kSyncNodeAddress], 0x42);

    // An unknown CRC preset fails the programme: reported, information still 84.
    record[port_state::kCRCPreset] = 7;
    const Result bad = Control(second, IOCTL_SET_PORT_STATE, record, 0);
    EXPECT_EQ(bad.status, STATUS_UNSUCCESSFUL);
    EXPECT_EQ(bad.information, 84u);
}

TEST_F(RequestControl, BufferCountsAndResets) {
    for (uint8_t seed = 0; seed < 3; ++seed) {
        Write(first, Frame(10, seed));
    }
    Pump();
    auto counts = [&](IoManager::Handle handle) {
        const Result r = Control(handle, IOCTL_GET_BUFFER_COUNT, {}, 4);
        EXPECT_EQ(r.information, 4u);
        return std::pair{U16(r.output, 0), U16(r.output, 2)};
    };
    EXPECT_EQ(counts(second), (std::pair{3u, 100u}));
    // 3 is the tools' "both", not this request's: nothing is reset.
    EXPECT_EQ(Control(second, IOCTL_RESET_BUFFERS, {3}, 0).status, STATUS_SUCCESS);
    EXPECT_EQ(counts(second).first, 3u);
    EXPECT_EQ(Control(second, IOCTL_RESET_BUFFERS, {kResetReceive}, 0).status, STATUS_SUCCESS);
    EXPECT_EQ(counts(second).first, 0u);

    Write(first, Frame(10, 4));  // queued, not sent: the card is not stepped
    EXPECT_EQ(counts(first).second, 99u);
    EXPECT_EQ(Control(first, IOCTL_RESET_BUFFERS, {kResetBoth}, 0).status, STATUS_SUCCESS);
    EXPECT_EQ(counts(first), (std::pair{0u, 100u}));
}

TEST_F(RequestControl, ModemLinesCrossTheNullModemPair) {
    const uint16_t word = MODEM_DTR | MODEM_RTS;
    EXPECT_EQ(Control(first, IOCTL_SET_MODEM_CONTROL, {word & 0xFF, 0}, 0).status, STATUS_SUCCESS);
    Pump();
    const Result far = Control(second, IOCTL_GET_MODEM_CONTROL, {}, 2);
    ASSERT_EQ(far.information, 2u);
    const uint32_t lines = U16(far.output, 0);
    EXPECT_EQ(lines & (MODEM_DSR | MODEM_DCD | MODEM_CTS), MODEM_DSR | MODEM_DCD | MODEM_CTS);
    const Result near = Control(first, IOCTL_GET_MODEM_CONTROL, {}, 2);
    EXPECT_EQ(U16(near.output, 0) & (MODEM_DTR | MODEM_RTS), word);
}

TEST_F(RequestControl, NodeAddressIsStoredForTheNextInitialisation) {
    EXPECT_EQ(Control(first, IOCTL_SET_NODE_ADDRESS, {0x37}, 0).status, STATUS_SUCCESS);
    const Result info = Control(first, IOCTL_GET_PORT_INFO, {}, 68);
    EXPECT_EQ(U16(info.output, port_info::kNodeAddress), 0x37u);
}

}  // namespace
}  // namespace wyvel32::testing
