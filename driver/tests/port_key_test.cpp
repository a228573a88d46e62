// The port key: the default set the driver writes, the completeness check, and when the key is
// rewritten (including where a rewritten key says the card is).

#include "driver/port_key.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <sstream>

#include "driver/tests/driver_test_support.h"

namespace wyvel32::testing {
namespace {

using qorval::platform::REG_DWORD;
using qorval::platform::REG_SZ;
using qorval::platform::RegValue;

const std::string kServiceKey = kServiceKeyPath;

struct ExpectedValue {
    const char* name;
    uint32_t type;
    uint32_t number;
    const char* text;
};

// The default set as an administrator sees it after the driver rewrote port 1's key: names in
// stored order (Dpll, written twice, keeps its first place), types and values.
const ExpectedValue kExpectedDefaults[] = {
    {"BaseIO", REG_DWORD, 0xE000, nullptr},
    {"Channel", REG_SZ, 0, "A"},
    {"Interrupt", REG_DWORD, 11, nullptr},
    {"Memory", REG_DWORD, 0xF8000000, nullptr},
    {"IUSC", REG_DWORD, 0xF7000000, nullptr},
    {"BusType", REG_DWORD, 5, nullptr},
    {"BusNum", REG_DWORD, 0, nullptr},
    {"PCIDevice", REG_DWORD, 1, nullptr},
    {"PCIFunction", REG_DWORD, 0, nullptr},
    {"Dpll", REG_DWORD, 1, nullptr},
    {"ByteSwapData", REG_DWORD, 0, nullptr},
    {"DMAThrottle", REG_DWORD, 0, nullptr},
    {"Card", REG_DWORD, 13, nullptr},
    {"TxDMA", REG_DWORD, 0xFFFFFFFF, nullptr},
    {"RxDMA", REG_DWORD, 0xFFFFFFFF, nullptr},
    {"TxBuffSize", REG_DWORD, 1024, nullptr},
    {"RxBuffSize", REG_DWORD, 1024, nullptr},
    {"RxBuffers", REG_DWORD, 100, nullptr},
    {"TxBuffers", REG_DWORD, 100, nullptr},
    {"DataBits", REG_DWORD, 8, nullptr},
    {"StopBits", REG_DWORD, 1, nullptr},
    {"Parity", REG_SZ, 0, "None"},
    {"RS_485", REG_DWORD, 0, nullptr},
    {"Divisor", REG_DWORD, 126, nullptr},
    {"Mode", REG_DWORD, 2, nullptr},
    {"TxClock", REG_DWORD, 2, nullptr},
    {"RxClock", REG_DWORD, 0, nullptr},
    {"BRGSource", REG_DWORD, 0, nullptr},
    {"LoopBack", REG_DWORD, 0, nullptr},
    {"Oscillator", REG_SZ, 0, "20.000"},
    {"ClockX", REG_SZ, 0, "X1"},
    {"RxTimeout", REG_DWORD, 50000, nullptr},
    {"TxTimeout", REG_DWORD, 50000, nullptr},
    {"Enabled", REG_DWORD, 1, nullptr},
    {"UseNodeAddress", REG_DWORD, 0, nullptr},
    {"SyncNodeAddress", REG_DWORD, 0, nullptr},
    {"IdleState", REG_DWORD, 0, nullptr},
    {"CrcPreset", REG_DWORD, 2, nullptr},
    {"CrcUsed", REG_DWORD, 1, nullptr},
    {"DPLLSource", REG_DWORD, 16, nullptr},
    {"AutoinitBuffSize", REG_DWORD, 16384, nullptr},
    {"Idleloop", REG_DWORD, 1, nullptr},
    {"Minflags", REG_DWORD, 1, nullptr},
    {"Protocol", REG_DWORD, 0xFFFFFFFF, nullptr},
    {"Interface", REG_DWORD, 1, nullptr},
    {"TXCMode", REG_DWORD, 0xFFFFFFFF, nullptr},
    {"DPLLDivisor", REG_DWORD, 8, nullptr},
};

class PortKeyTest : public DriverFixture, public ::testing::Test {
  protected:
    uint32_t Stored(const std::string& name) {
        uint32_t value = 0;
        EXPECT_TRUE(registry.QueryDword(kTestPortKey, name, value).ok()) << name;
        return value;
    }
};

TEST_F(PortKeyTest, EmptyParametersKeyGetsTheFullDefaultSetInOrderWithItsTypes) {
    ASSERT_TRUE(registry.CreateKey(kServiceKey + "\\Parameters").ok());
    PortConfig config = StartedConfig();
    ASSERT_EQ(LoadPortConfig(registry, kServiceKey, config.Location(), config), STATUS_SUCCESS);

    const std::vector<std::string> names = registry.ValueNames(kTestPortKey);
    ASSERT_EQ(names.size(), std::size(kExpectedDefaults));
    for (size_t i = 0; i < names.size(); ++i) {
        const ExpectedValue& expected = kExpectedDefaults[i];
        EXPECT_EQ(names[i], expected.name) << "position " << i;
        RegValue value;
        ASSERT_TRUE(registry.QueryValue(kTestPortKey, expected.name, value).ok());
        EXPECT_EQ(value.type, expected.type) << expected.name;
        if (expected.text != nullptr) {
            EXPECT_EQ(std::string(value.data.begin(), value.data.end()), expected.text);
        } else {
            EXPECT_EQ(Stored(expected.name), expected.number) << expected.name;
        }
    }
    // The rewritten key is complete.
    PortConfig check;
    EXPECT_EQ(CheckPortKey(registry, kTestPortKey, check), STATUS_SUCCESS);
}

TEST_F(PortKeyTest, ChannelLetterFollowsThePortNumber) {
    PortConfig config = StartedConfig(3);
    const std::string key = kServiceKey + "\\Parameters\\Port003";
    ASSERT_EQ(WriteDefaultPortKey(registry, key, config), STATUS_SUCCESS);
    std::string channel;
    ASSERT_TRUE(registry.QueryString(key, "Channel", channel).ok());
    EXPECT_EQ(channel, "C");
}

TEST_F(PortKeyTest, CompleteKeyIsKeptWithTheAdministratorsSettings) {
    WriteDefaultKey();
    SetDword("Divisor", 300);
    PortConfig config = StartedConfig();
    ASSERT_EQ(LoadPortConfig(registry, kServiceKey, config.Location(), config), STATUS_SUCCESS);
    EXPECT_EQ(Stored("Divisor"), 300u);
    EXPECT_EQ(config.Divisor, 300u);
}

// Each way a key becomes stale: it is rewritten and the administrator's value is gone.
TEST_F(PortKeyTest, StaleKeyIsRewrittenWithDefaults) {
    struct Case {
        const char* what;
        void (*spoil)(PortKeyTest&);
    };
    const Case cases[] = {
        {"missing value",
         [](PortKeyTest& t) {
             ASSERT_TRUE(t.registry.DeleteValue(kTestPortKey, "MinFlags").ok());
         }},
        {"card is not the PCI card", [](PortKeyTest& t) { t.SetDword("Card", 7); }},
        {"card code beyond 8 bits", [](PortKeyTest& t) { t.SetDword("Card", 0x10D); }},
        {"number stored as text", [](PortKeyTest& t) { t.SetString("TxBuffers", "100"); }},
        {"oscillator over 14 characters",
         [](PortKeyTest& t) { t.SetString("Oscillator", "123456789012345"); }},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        WriteDefaultKey();
        SetDword("Divisor", 300);
        c.spoil(*this);
        PortConfig config = StartedConfig();
        ASSERT_EQ(LoadPortConfig(registry, kServiceKey, config.Location(), config), STATUS_SUCCESS);
        EXPECT_EQ(Stored("Divisor"), 126u);
        EXPECT_EQ(Stored("Card"), 13u);
        EXPECT_EQ(config.Card, kCardTypePci);
    }
}

TEST_F(PortKeyTest, OscillatorOf14CharactersCountsAsPresent) {
    WriteDefaultKey();
    SetString("Oscillator", "12345678901234");
    PortConfig config;
    EXPECT_EQ(CheckPortKey(registry, kTestPortKey, config), STATUS_SUCCESS);
}

TEST_F(PortKeyTest, CheckStopsAtTheFirstMissingValueKeepingWhatWasRead) {
    WriteDefaultKey();
    ASSERT_TRUE(registry.DeleteValue(kTestPortKey, "RxBuffers").ok());
    PortConfig config;
    EXPECT_EQ(CheckPortKey(registry, kTestPortKey, config), STATUS_OBJECT_NAME_NOT_FOUND);
    EXPECT_EQ(config.Card, kCardTypePci);  // read before RxBuffers
    EXPECT_EQ(config.RxBuffSize, 1024u);   // read before RxBuffers
    EXPECT_EQ(config.TxBuffers, 0u);       // after it: never read
}

// A card moved to another slot gets a fresh key that records the new slot, so the following
// start keeps the key (and the settings made after the move).
TEST_F(PortKeyTest, MovedCardKeyRecordsTheCurrentLocation) {
    WriteDefaultKey();  // card at bus 0, device 1
    PortConfig moved = StartedConfig();
    moved.BusNum = 2;
    moved.PCIDevice = 9;
    moved.PCIFunction = 1;
    SetDword("Divisor", 300);
    ASSERT_EQ(LoadPortConfig(registry, kServiceKey, moved.Location(), moved), STATUS_SUCCESS);
    EXPECT_EQ(Stored("Divisor"), 126u);
    EXPECT_EQ(Stored("BusNum"), 2u);
    EXPECT_EQ(Stored("PCIDevice"), 9u);
    EXPECT_EQ(Stored("PCIFunction"), 1u);

    SetDword("Divisor", 300);
    PortConfig again = StartedConfig();
    again.BusNum = 2;
    again.PCIDevice = 9;
    again.PCIFunction = 1;
    ASSERT_EQ(LoadPortConfig(registry, kServiceKey, again.Location(), again), STATUS_SUCCESS);
    EXPECT_EQ(Stored("Divisor"), 300u);
}

TEST_F(PortKeyTest, OpenWithoutLocationIgnoresTheStoredLocation) {
    WriteDefaultKey();
    SetDword("PCIDevice", 5);
    SetDword("Divisor", 300);
    PortConfig config = StartedConfig();
    ASSERT_EQ(LoadPortConfig(registry, kServiceKey, std::nullopt, config), STATUS_SUCCESS);
    EXPECT_EQ(Stored("Divisor"), 300u);
}

// A damaged registry file is reported, not replaced by defaults.
TEST(PortKeyFileTest, DamagedRegistryFileFailsThePassAndIsLeftAlone) {
    const auto dir =
        std::filesystem::temp_directory_path() / ("wyvel32_port_key_" + std::to_string(::getpid()));
    std::filesystem::create_directories(dir);
    const auto file = dir / "system.reg";
    const std::string damaged = "REGEDIT4\r\n\r\n[HKEY_LOCAL_MACHINE\\System\r\n\"x\"=dword:zz\r\n";
    std::ofstream(file, std::ios::binary) << damaged;

    qorval::platform::Registry registry(file);
    PortConfig config = StartedConfig();
    EXPECT_EQ(LoadPortConfig(registry, kServiceKey, config.Location(), config),
              STATUS_UNSUCCESSFUL);
    std::stringstream after;
    after << std::ifstream(file, std::ios::binary).rdbuf();
    EXPECT_EQ(after.str(), damaged);
    std::filesystem::remove_all(dir);
}

}  // namespace
}  // namespace wyvel32::testing
