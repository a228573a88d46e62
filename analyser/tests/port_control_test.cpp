// The port control commands: their library calls, field texts and messages.
#include "analyser/port_control.h"

#include <gtest/gtest.h>

#include <cstring>

#include "analyser/tests/engine_fixture.h"

namespace qorval::analyser::testing {
namespace {

using PortControlTest = EngineTest;

std::string Field(const std::vector<DeviceInfoField>& fields, std::string_view label) {
    for (const auto& field : fields) {
        if (field.label == label) {
            return field.value;
        }
    }
    ADD_FAILURE() << "no field " << label;
    return {};
}

TEST(DeviceInfoNames, CodeTables) {
    struct Case {
        std::string_view (*name)(uint16_t);
        uint16_t code;
        std::string_view text;
    } cases[] = {
        {CardTypeName, 0, "glen"},  {CardTypeName, 6, "brook"}, {CardTypeName, 9, "NONE"},
        {CardTypeName, 12, "tarn"}, {CardTypeName, 13, "NONE"}, {CardTypeName, 14, "LAST"},
        {CardTypeName, 15, "NONE"}, {ChannelName, 1, "B"},      {ChannelName, 2, "LAST"},
        {ChannelName, 3, "NONE"},   {InterfaceName, 4, "V.35"}, {InterfaceName, 8, "MIL188"},
        {InterfaceName, 3, "NONE"}, {EncodingName, 0, "NONE"},  {EncodingName, 3, "Other"},
        {EncodingName, 8, "FM1"},   {CrcModeName, 4, "CCITT"},  {CrcModeName, 0, "NONE"},
        {CrcModeName, 2, "Pre1"},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(c.name(c.code), c.text) << c.code;
    }
}

TEST(DeviceInfoFields, FormatsAndWidths) {
    PortInfo info{};
    info.maxTxFrame = 1024;
    info.ioBase = 0xE800;
    info.nodeAddress = 0x7E;
    info.txDmaChannel = 0xFFFF;
    std::memcpy(info.oscillator, "20.000", 7);
    PortState state{};
    state.txFrames = 42;
    state.status = 0xBEEF;
    const auto fields = FormatDeviceInfo(info, &state);
    EXPECT_EQ(Field(fields, "Tx Frames:"), "        42");
    EXPECT_EQ(Field(fields, "Status:"), "0000BEEF");
    EXPECT_EQ(Field(fields, "Tx Frame Size:"), " 1024");
    EXPECT_EQ(Field(fields, "Tx DMA Channel:"), "65535");
    EXPECT_EQ(Field(fields, "Base I/O Addr:"), "E800");
    EXPECT_EQ(Field(fields, "Node Address:"), "007E");
    EXPECT_EQ(Field(fields, "Oscillator:"), "    20.000");
    EXPECT_EQ(Field(fields, "Card #:"), "glen");

    // An oscillator text without its terminating zero stays inside the record.
    std::memset(info.oscillator, 'X', sizeof info.oscillator);
    EXPECT_EQ(Field(FormatDeviceInfo(info, nullptr), "Oscillator:"), "XXXXXXXXXXXX");
    EXPECT_EQ(Field(FormatDeviceInfo(info, nullptr), "Rx Frames:"), "");
}

TEST_F(PortControlTest, DeviceInfoReadsBothRecords) {
    OpenPort();
    const auto fields = DeviceInfoCommand(*app_);
    ASSERT_TRUE(fields.has_value());
    EXPECT_EQ(Field(*fields, "Card #:"), "NONE");  // the PCI card's code 13 has no name here
    EXPECT_EQ(Field(*fields, "CRC Mode:"), "CCITT");

    Fake().FailNext("QORVAL_GetPortState", QORVAL_GENERAL_ERROR);
    const auto empty = DeviceInfoCommand(*app_);
    EXPECT_EQ(ui_.LastMessage(), "Could not retrieve port state!");
    EXPECT_EQ(Field(*empty, "Tx Frames:"), "");

    Fake().FailNext("QORVAL_GetPortInfo", QORVAL_GENERAL_ERROR);
    EXPECT_FALSE(DeviceInfoCommand(*app_).has_value());
    EXPECT_EQ(ui_.LastMessage(), "Could not retrieve device information!");
}

TEST_F(PortControlTest, EveryCommandNeedsASelectedPort) {
    ASSERT_TRUE(app_->Startup());
    Fake().ClearCallLog();
    EXPECT_FALSE(DeviceInfoCommand(*app_).has_value());
    SetNodeAddressCommand(*app_, 1);
    ResetBuffersCommand(*app_, true, true);
    EXPECT_FALSE(GetModemCommand(*app_).has_value());
    TransmitCommCharCommand(*app_, 1);
    EXPECT_EQ(ui_.user.shown.size(), 5u);
    EXPECT_TRUE(Fake().CallLog().empty());
}

TEST_F(PortControlTest, NodeAddressAndResetBuffersMessages) {
    OpenPort();
    SetNodeAddressCommand(*app_, 255);
    EXPECT_EQ(ui_.LastStatus(), "Node address changed.");
    Fake().FailNext("QORVAL_SetNodeAddress", QORVAL_GENERAL_ERROR);
    SetNodeAddressCommand(*app_, 9);
    EXPECT_EQ(ui_.LastMessage(), "Setting of node address failed!");
    EXPECT_EQ(app_->Parms().node, 9);  // the setting changes even when the port refused

    Fake().ClearCallLog();
    const size_t statuses = ui_.user.statuses.size();
    ResetBuffersCommand(*app_, false, false);
    EXPECT_TRUE(Fake().CallLog().empty());
    EXPECT_EQ(ui_.user.statuses.size(), statuses);
    ResetBuffersCommand(*app_, true, true);
    EXPECT_EQ(ui_.LastStatus(), "Buffers reset sucessfully!");
    Fake().FailNext("QORVAL_ResetBuffers", QORVAL_GENERAL_ERROR);
    ResetBuffersCommand(*app_, false, true);
    EXPECT_EQ(ui_.LastStatus(), "Buffer Reset FAILED!");
}

TEST_F(PortControlTest, ModemPortStateAndCharacterMessages) {
    OpenPort();
    Fake().FailNext("QORVAL_GetModemControl", QORVAL_GENERAL_ERROR);
    EXPECT_FALSE(GetModemCommand(*app_).has_value());
    EXPECT_EQ(ui_.LastMessage(), "Could not retrieve modem control states!");
    Fake().FailNext("QORVAL_SetModemControl", QORVAL_GENERAL_ERROR);
    SetModemCommand(*app_, 1);
    EXPECT_EQ(ui_.LastMessage(), "Could not set the modem control states!");

    const auto state = GetPortStateCommand(*app_, true);
    ASSERT_TRUE(state.has_value());
    EXPECT_EQ(ui_.LastMessage(), "Operation completed successfully!");
    Fake().FailNext("QORVAL_SetPortState", QORVAL_GENERAL_ERROR);
    SetPortStateCommand(*app_, *state);
    EXPECT_EQ(ui_.LastMessage(), "Could not set the port state!");

    Fake().FailNext("QORVAL_TransmitCommChar", QORVAL_NOT_SUPPORTED);
    TransmitCommCharCommand(*app_, 0x55);
    EXPECT_EQ(ui_.LastMessage(), "Could not send the character to the driver!");
}

TEST(PortStateEntries, ParityShowsNoneForUnknownValuesAndRefusalStopsTheRest) {
    PortState state{};
    state.parity = 2;
    state.dataBits = 8;
    PortStateEntries entries = EntriesFromState(state);
    EXPECT_EQ(entries.parity, 0);
    EXPECT_EQ(ApplyPortStateEntries(entries, state), std::nullopt);
    EXPECT_EQ(state.parity, 0);

    entries.parity = 1;  // EVEN
    entries.divisor = "65535";
    entries.clockMultiplier = "256";
    entries.dataBits = "7";
    const auto refusal = ApplyPortStateEntries(entries, state);
    ASSERT_TRUE(refusal.has_value());
    EXPECT_EQ(refusal->text, "Please enter an integer between 0 and 255.");
    EXPECT_EQ(refusal->edit, PortStateEdit::ClockMultiplier);
    EXPECT_EQ(state.divisor, 65535);
    EXPECT_EQ(state.dataBits, 8);  // taken after the refused entry: kept
    EXPECT_EQ(state.parity, 0);

    // Groups without a selection (a record never read) keep their fields.
    entries = EntriesFromState(state);
    entries.txClock = entries.rxClock = entries.parity = entries.brgSource = -1;
    state.txClock = 3;
    state.parity = 1;
    state.brgSource = 1;
    EXPECT_EQ(ApplyPortStateEntries(entries, state), std::nullopt);
    EXPECT_EQ(state.txClock, 3);
    EXPECT_EQ(state.parity, 1);
    EXPECT_EQ(state.brgSource, 1);
}

TEST(IntegerEntry, Range) {
    EXPECT_EQ(ParseIntegerEntry(" 255 ", 0, 255).value, 255);
    EXPECT_EQ(ParseIntegerEntry("256", 0, 255).refusal,
              "Please enter an integer between 0 and 255.");
    EXPECT_FALSE(ParseIntegerEntry("12x", 0, 255).value.has_value());
    EXPECT_FALSE(ParseIntegerEntry("", 0, 255).value.has_value());
    EXPECT_EQ(ParseIntegerEntry("70000", 0, 65535).refusal,
              "Please enter an integer between 0 and 65535.");
}

// With capture off nothing polls the port: the next port command is where its going shows,
// said with its cause in place of the command's own failure text.
TEST_F(PortControlTest, ACommandOnAPortThatWentSaysWhy) {
    OpenPort();
    Fake().KillHost();
    EXPECT_FALSE(DeviceInfoCommand(*app_).has_value());
    ASSERT_EQ(ui_.user.shown.size(), 1u);
    EXPECT_NE(ui_.LastMessage().find("\"wyvel32 run\""), std::string::npos);
    EXPECT_FALSE(app_->PortSelected());
    EXPECT_FALSE(GetModemCommand(*app_).has_value());
    EXPECT_EQ(ui_.LastMessage(),
              "Driver and Port have not been selected!\nExecute \"Select Driver/Port\" command "
              "and\ntry this command again!");
}

}  // namespace
}  // namespace qorval::analyser::testing
