#include "applet/registry_store.h"

#include <gtest/gtest.h>

#include "applet/model_edits.h"
#include "platform/testing/recording_user_messages.h"

namespace qorval::applet {
namespace {

using platform::Registry;
using ui::testing::RecordingUserMessages;

constexpr const char* kWyvelParams = "SYSTEM\\CurrentControlSet\\Services\\Wyvel32\\Parameters";
constexpr const char* kHestabe = "SYSTEM\\CurrentControlSet\\Services\\Hestabe5";

// A model with all four drivers, two cards on Hestabe5 and edited odd values.
ConfigModel FourDriverModel() {
    ConfigModel model;
    RecordingUserMessages user;
    const PcmciaReader none;
    EXPECT_TRUE(AddDriver(model, kHestabe5, 0x238, kHazel, user, none));
    EXPECT_TRUE(AddCard(model, 0x300, kJuniper, user, none));
    EXPECT_TRUE(AddDriver(model, kFendar5, 0x280, kCedar, user, none));
    EXPECT_TRUE(AddDriver(model, kGorlin5, 0x2A0, kElm, user, none));
    EXPECT_TRUE(AddDriver(model, kWyvel32, 0x340, kPine, user, none));
    PortEntry& odd = model.port(0, 1);
    odd.Parity = 3;
    odd.ClockX = 64;
    odd.Oscillator = "14.31818";
    odd.TxDMA = kNotSet;
    model.port(1, 0).Parity = 1;
    model.driver(2).Start = kStartDisabled;
    model.driver(2).Group = "A group name longer than thirty characters";
    return model;
}

TEST(RegistryStore, RoundTripKeepsEveryDriverAndPort) {
    const ConfigModel written = FourDriverModel();
    Registry registry;
    WriteRegistryConfig(written, written.driver_count, registry);

    ConfigModel read;
    ASSERT_EQ(ReadRegistryConfig(read, registry), 4);
    for (int32_t d = 0; d < 4; ++d) {
        const DriverEntry& want = written.driver(d);
        const DriverEntry& got = read.driver(d);
        EXPECT_EQ(got.name, want.name);
        EXPECT_EQ(got.description, want.description);
        EXPECT_EQ(got.Start, want.Start);
        EXPECT_EQ(got.Type, want.Type);
        EXPECT_EQ(got.Group, want.Group);
        EXPECT_EQ(got.max_ports, want.max_ports);
        // Wyvel32's service key belongs to the driver host; ErrorControl is not written there.
        EXPECT_EQ(got.ErrorControl, want.driver_type == kWyvel32 ? kNotSet : want.ErrorControl);
        ASSERT_EQ(got.port_count, want.port_count);
        for (int32_t p = 0; p < want.port_count; ++p) {
            EXPECT_EQ(got.ports[p], want.ports[p]) << want.name << " " << want.ports[p].name;
        }
    }
}

TEST(RegistryStore, ValuesUseTheDriverHostsNamesAndEncodings) {
    ConfigModel model = FourDriverModel();
    Registry registry;
    WriteRegistryConfig(model, model.driver_count, registry);
    const std::string port = std::string(kHestabe) + "\\Parameters\\Port002";
    std::string text;
    ASSERT_TRUE(registry.QueryString(port, "Channel", text).ok());
    EXPECT_EQ(text, "B");
    ASSERT_TRUE(registry.QueryString(port, "Parity", text).ok());
    EXPECT_EQ(text, "Even");
    ASSERT_TRUE(registry.QueryString(port, "ClockX", text).ok());
    EXPECT_EQ(text, "X64");
    uint32_t value = 0;
    ASSERT_TRUE(registry.QueryDword(port, "TxDMA", value).ok());
    EXPECT_EQ(value, 0xFFFFFFFFu);
    // Names differing only in case from the driver host's are the same values.
    ASSERT_TRUE(
        registry.QueryDword(std::string(kWyvelParams) + "\\Port001", "CRCPreset", value).ok());
    EXPECT_EQ(value, 2u);
    EXPECT_TRUE(registry.QueryDword(kHestabe, "ErrorControl", value).ok());
    EXPECT_EQ(
        registry.QueryDword("SYSTEM\\CurrentControlSet\\Services\\Wyvel32", "ErrorControl", value)
            .status,
        platform::RegStatus::NotFound);
}

TEST(RegistryStore, OnlyNutmegPortsGetRxFifoLevel) {
    ConfigModel model;
    RecordingUserMessages user;
    ASSERT_TRUE(AddDriver(model, kHestabe5, 0x238, kNutmeg, user, nullptr));
    ASSERT_TRUE(AddCard(model, 0x300, kSpruce, user, nullptr));
    Registry registry;
    WriteRegistryConfig(model, 1, registry);
    uint32_t value = 0;
    EXPECT_TRUE(
        registry.QueryDword(std::string(kHestabe) + "\\Parameters\\Port001", "RxFifoLevel", value)
            .ok());
    EXPECT_EQ(value, 1u);
    EXPECT_FALSE(
        registry.QueryDword(std::string(kHestabe) + "\\Parameters\\Port002", "RxFifoLevel", value)
            .ok());
}

TEST(RegistryStore, StartOtherThanThreeLoadsAndStoresAsDisabled) {
    for (uint32_t stored : {0u, 2u, 3u, 4u, 7u}) {
        Registry registry;
        ASSERT_TRUE(registry.CreateKey(std::string(kHestabe) + "\\Parameters\\Port001").ok());
        ASSERT_TRUE(registry.SetDword(kHestabe, "Start", stored).ok());
        ConfigModel model;
        ASSERT_EQ(ReadRegistryConfig(model, registry), 1);
        const int32_t expected = stored == 3 ? kStartEnabled : kStartDisabled;
        EXPECT_EQ(model.driver(0).Start, expected) << stored;
        WriteRegistryConfig(model, 1, registry);
        uint32_t written = 0;
        ASSERT_TRUE(registry.QueryDword(kHestabe, "Start", written).ok());
        EXPECT_EQ(written, static_cast<uint32_t>(expected));
    }
}

TEST(RegistryStore, MissingAndWrongTypeValuesTakeTheirDefaults) {
    Registry registry;
    const std::string port = std::string(kHestabe) + "\\Parameters\\Port001";
    ASSERT_TRUE(registry.CreateKey(port).ok());
    ASSERT_TRUE(registry.SetString(port, "BaseIO", "238").ok());   // wrong type
    ASSERT_TRUE(registry.SetDword(port, "Channel", 1).ok());       // wrong type
    ASSERT_TRUE(registry.SetString(port, "Parity", "Mark").ok());  // unknown text
    ASSERT_TRUE(registry.SetString(port, "ClockX", "x8").ok());
    ASSERT_TRUE(registry.SetDword(port, "Interrupt", 7).ok());
    ConfigModel model;
    ASSERT_EQ(ReadRegistryConfig(model, registry), 1);
    const DriverEntry& entry = model.driver(0);
    EXPECT_EQ(entry.ErrorControl, kNotSet);
    EXPECT_EQ(entry.Type, kNotSet);
    EXPECT_EQ(entry.Start, kStartDisabled);
    EXPECT_EQ(entry.Group, "");
    const PortEntry& p = entry.ports[0];
    EXPECT_EQ(p.BaseIO, kNotSet);
    EXPECT_EQ(p.Interrupt, 7);
    EXPECT_EQ(p.Channel, kNotSet);
    EXPECT_EQ(p.Parity, 0);
    EXPECT_EQ(p.ClockX, kNotSet);
    EXPECT_EQ(p.RxTimeout, 0);
    EXPECT_EQ(p.TxTimeout, 0);
    EXPECT_EQ(p.Oscillator, "");
    EXPECT_EQ(p.Memory, kNotSet);
}

TEST(RegistryStore, OnlyTheFirstFourPortKeysAreLoaded) {
    Registry registry;
    for (const char* name : {"Port001", "Port002", "Port003", "Port004", "Port005"}) {
        ASSERT_TRUE(registry.CreateKey(std::string(kHestabe) + "\\Parameters\\" + name).ok());
    }
    ConfigModel model;
    ASSERT_EQ(ReadRegistryConfig(model, registry), 1);
    EXPECT_EQ(model.driver(0).port_count, 4);
    EXPECT_EQ(model.driver(0).ports[3].name, "Port004");
}

TEST(RegistryStore, ServiceWithoutPortsIsDroppedButWyvel32KeyStays) {
    Registry registry;
    const std::string gorlin = "SYSTEM\\CurrentControlSet\\Services\\Gorlin5";
    ASSERT_TRUE(registry.CreateKey(gorlin + "\\Parameters").ok());
    ASSERT_TRUE(registry.CreateKey(gorlin + "\\Enum").ok());
    ASSERT_TRUE(registry.CreateKey(std::string(kWyvelParams)).ok());
    ASSERT_TRUE(registry.CreateKey("SYSTEM\\CurrentControlSet\\Services\\Wyvel32\\Enum").ok());
    ASSERT_TRUE(registry.CreateKey(std::string(kHestabe) + "\\Parameters\\Port001").ok());

    ConfigModel model;
    ASSERT_EQ(ReadRegistryConfig(model, registry), 1);
    EXPECT_EQ(model.driver(0).name, "Hestabe5");
    EXPECT_FALSE(registry.KeyExists(gorlin));
    EXPECT_TRUE(registry.KeyExists(kWyvelParams));
    EXPECT_FALSE(registry.KeyExists("SYSTEM\\CurrentControlSet\\Services\\Wyvel32\\Enum"));
}

TEST(RegistryStore, ReadingWithoutTidyingChangesNothing) {
    Registry registry;
    const std::string gorlin = "SYSTEM\\CurrentControlSet\\Services\\Gorlin5";
    ASSERT_TRUE(registry.CreateKey(gorlin + "\\Enum").ok());
    ConfigModel model;
    EXPECT_EQ(ReadRegistryConfig(model, registry, {.tidy = false}), 0);
    EXPECT_TRUE(registry.KeyExists(gorlin + "\\Enum"));
}

TEST(RegistryStore, RemovedDriversLoseTheirKeysExceptWyvel32sOwn) {
    ConfigModel model = FourDriverModel();
    Registry registry;
    WriteRegistryConfig(model, model.driver_count, registry);
    const std::string wyvel = "SYSTEM\\CurrentControlSet\\Services\\Wyvel32";
    ASSERT_TRUE(registry.CreateKey(wyvel + "\\Enum").ok());
    ASSERT_TRUE(registry.CreateKey(std::string(kWyvelParams) + "\\Settings").ok());
    // Listed before the port keys: removal must not stop at it.
    ASSERT_TRUE(registry.CreateKey(std::string(kWyvelParams) + "\\Extra").ok());
    ASSERT_TRUE(registry.SetDword(kWyvelParams, "EventLogLevel", 2).ok());
    ASSERT_TRUE(registry.CreateKey(std::string(kWyvelParams) + "\\port002").ok());

    // Keep only Hestabe5.
    model.driver_count = 1;
    WriteRegistryConfig(model, 1, registry);

    EXPECT_FALSE(registry.KeyExists("SYSTEM\\CurrentControlSet\\Services\\Fendar5"));
    EXPECT_FALSE(registry.KeyExists("SYSTEM\\CurrentControlSet\\Services\\Gorlin5"));
    EXPECT_TRUE(registry.KeyExists(wyvel));
    EXPECT_TRUE(registry.KeyExists(kWyvelParams));
    EXPECT_TRUE(registry.KeyExists(std::string(kWyvelParams) + "\\Settings"));
    EXPECT_TRUE(registry.KeyExists(std::string(kWyvelParams) + "\\Extra"));
    EXPECT_FALSE(registry.KeyExists(std::string(kWyvelParams) + "\\Port001"));
    EXPECT_FALSE(registry.KeyExists(std::string(kWyvelParams) + "\\port002"));
    EXPECT_FALSE(registry.KeyExists(wyvel + "\\Enum"));
    uint32_t level = 0;
    EXPECT_TRUE(registry.QueryDword(kWyvelParams, "EventLogLevel", level).ok());
}

TEST(RegistryStore, PortKeysNotInTheModelAreDeleted) {
    ConfigModel model = FourDriverModel();
    Registry registry;
    WriteRegistryConfig(model, model.driver_count, registry);
    RecordingUserMessages user;
    model.selected_driver = 0;
    model.selected_port = 0;  // the Hazel card at 0x238
    ASSERT_TRUE(RemoveCard(model, user));
    WriteRegistryConfig(model, model.driver_count, registry);
    EXPECT_TRUE(registry.KeyExists(std::string(kHestabe) + "\\Parameters\\Port001"));
    EXPECT_FALSE(registry.KeyExists(std::string(kHestabe) + "\\Parameters\\Port002"));
    ConfigModel read;
    ReadRegistryConfig(read, registry);
    ASSERT_EQ(read.driver(0).port_count, 1);
    EXPECT_EQ(read.driver(0).ports[0].Card, kJuniper);
}

TEST(RegistryStore, PcmciaResourcesComeFromTheStoredDescriptor) {
    Registry registry;
    const std::string key = "HARDWARE\\DESCRIPTION\\System\\PCMCIA PCCARDS";
    EXPECT_FALSE(ReadPcmciaResources(registry).found);
    ASSERT_TRUE(registry.CreateKey(key).ok());
    std::vector<uint8_t> data(16 + 2 * 16, 0);
    data[12] = 2;
    data[16] = 1;  // port
    data[20] = 0x40;
    data[21] = 0x03;
    data[32] = 2;  // interrupt
    data[36] = 10;
    ASSERT_TRUE(registry.SetValue(key, "HESTABE5", platform::REG_BINARY, data).ok());
    const PcmciaResources found = ReadPcmciaResources(registry);
    EXPECT_TRUE(found.found);
    EXPECT_EQ(found.io_base, 0x340u);
    EXPECT_EQ(found.irq, 10u);

    data.resize(kPcmciaValueLimit + 1);  // too large for the buffer: cannot be read
    ASSERT_TRUE(registry.SetValue(key, "HESTABE5", platform::REG_BINARY, data).ok());
    EXPECT_FALSE(ReadPcmciaResources(registry).found);
}

TEST(PcmciaResources, NeverReadsPastTheStoredData) {
    // The count claims 200 descriptors but only one is present.
    std::vector<uint8_t> data(16 + 16, 0);
    data[12] = 200;
    data[16] = 2;
    data[20] = 5;
    const PcmciaResources found = DecodePcmciaResources(data);
    EXPECT_TRUE(found.has_irq);
    EXPECT_EQ(found.irq, 5u);
    EXPECT_FALSE(found.has_io_base);
    // A descriptor cut short is ignored.
    data.resize(16 + 8);
    EXPECT_FALSE(DecodePcmciaResources(data).has_irq);
    EXPECT_TRUE(DecodePcmciaResources(std::span<const uint8_t>()).found);
}

}  // namespace
}  // namespace qorval::applet
