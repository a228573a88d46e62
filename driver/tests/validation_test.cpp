// Reading and validating a port's values: each rule with its event and insertion string, the
// buffer arithmetic, the Oscillator text, bad registry input, and the EventLogLevel filter.

#include <gtest/gtest.h>

#include <cstring>

#include "driver/events.h"
#include "driver/log_event.h"
#include "driver/port_validation.h"
#include "driver/tests/driver_test_support.h"

namespace wyvel32::testing {
namespace {

class ValidationTest : public DriverFixture, public ::testing::Test {
  protected:
    void SetUp() override { WriteDefaultKey(); }

    NTSTATUS Run() {
        config = StartedConfig();
        return ReadValidatePortConfig(driver, driver.service_key, 1, config);
    }

    PortConfig config;
};

struct RejectCase {
    const char* value;
    uint32_t stored;
    uint32_t event;
    const char* insertion;  // nullptr: none
};

// Each rejected value: STATUS_UNSUCCESSFUL and exactly one event naming it, with the I/O base
// as dump data.
TEST_F(ValidationTest, RejectedValueLogsOneEventWithItsInsertion) {
    const RejectCase cases[] = {
        {"BRGSource", 3, EVENT_BAD_VALUE, "BRGSource"},
        {"RS_485", 2, EVENT_BAD_VALUE, "RS_485"},
        {"Divisor", 65536, EVENT_BAD_VALUE, "Divisor"},
        {"SyncNodeAddress", 256, EVENT_BAD_VALUE, "SyncNodeAddress"},
        {"CRCPreset", 0, EVENT_BAD_VALUE, "CRCPreset"},
        {"CRCPreset", 3, EVENT_BAD_VALUE, "CRCPreset"},
        {"IdleState", 7, EVENT_BAD_VALUE, "TxIdle"},
        {"Dpll", 3, EVENT_BAD_VALUE, "Dpll"},
        {"Dpll", 128, EVENT_BAD_VALUE, "Dpll"},
        {"LoopBack", 2, EVENT_BAD_VALUE, "LoopBack"},
        {"TxClock", 4, EVENT_BAD_VALUE, "TxClock"},
        {"RxClock", 4, EVENT_BAD_VALUE, "RxClock"},
        {"TxBuffSize", 14, EVENT_BAD_VALUE, "TxBuffSize"},
        {"TxBuffSize", 65535, EVENT_BAD_VALUE, "TxBuffSize"},  // rounds up to 65536
        {"RxBuffSize", 0xFFFFFFFF, EVENT_BAD_VALUE, "RxBuffSize"},
        {"RxBuffers", 1, EVENT_TOO_FEW_BUFFERS, nullptr},
        {"TxBuffers", 0, EVENT_TOO_FEW_BUFFERS, nullptr},
        {"Interface", 3, EVENT_BAD_INTERFACE, "3"},
        {"Interface", 21, EVENT_BAD_INTERFACE, "21"},
    };
    for (const RejectCase& c : cases) {
        SCOPED_TRACE(std::string(c.value) + "=" + std::to_string(c.stored));
        WriteDefaultKey();
        SetDword(c.value, c.stored);
        events.Clear();
        EXPECT_EQ(Run(), STATUS_UNSUCCESSFUL);
        ASSERT_EQ(events.Entries().size(), 1u);
        const auto entry = events.Entries()[0];
        EXPECT_EQ(entry.error_code, c.event);
        EXPECT_EQ(entry.unique_value, 1u);
        EXPECT_EQ(entry.dump_data, (std::vector<uint32_t>{0xE000, 0}));
        if (c.insertion == nullptr) {
            EXPECT_TRUE(entry.strings.empty());
        } else {
            EXPECT_EQ(entry.strings, (std::vector<std::string>{c.insertion}));
        }
    }
}

TEST_F(ValidationTest, FirstFailureInOrderWins) {
    SetDword("RS_485", 5);
    SetDword("BRGSource", 9);
    SetDword("Interface", 99);
    EXPECT_EQ(Run(), STATUS_UNSUCCESSFUL);
    ASSERT_EQ(events.Entries().size(), 1u);
    EXPECT_EQ(events.Entries()[0].strings[0], "BRGSource");
}

TEST_F(ValidationTest, DefaultKeyPassesWithTheDocumentedValues) {
    ASSERT_EQ(Run(), STATUS_SUCCESS);
    EXPECT_TRUE(events.Entries().empty());
    EXPECT_EQ(config.RxBuffers, 100u);
    EXPECT_EQ(config.TxBuffSize, 1024u);
    EXPECT_EQ(config.CRCPreset, 2u);
    EXPECT_EQ(config.TXCMode, 2u);  // unset, TxClock 2
    EXPECT_EQ(config.Protocol, 0u);
    EXPECT_STREQ(config.Oscillator, "20.000");
    EXPECT_EQ(config.IoLength, 8u);
    EXPECT_EQ(config.MemoryLength, 0x4000u);
    EXPECT_EQ(config.IuscLength, 256u);
}

TEST_F(ValidationTest, OddBufferSizesRoundUpToEven) {
    SetDword("RxBuffSize", 1023);
    SetDword("TxBuffSize", 15);
    ASSERT_EQ(Run(), STATUS_SUCCESS);
    EXPECT_EQ(config.RxBuffSize, 1024u);
    EXPECT_EQ(config.TxBuffSize, 16u);
}

TEST_F(ValidationTest, CardMemoryLimitCountsListsAndBuffers) {
    struct Case {
        uint32_t rx_buffers, tx_buffers, size;
        bool fits;
    };
    const Case cases[] = {
        {100, 100, 1024, true},   // 3200 + 204800 = 208000
        {100, 100, 1400, false},  // 3200 + 280000 = 283200
        {4096, 4096, 16, true},   // 131072 + 131072 = 262144 exactly
        {4097, 4096, 16, false},  // more than 8192 entries
        {2, 2, 65534, false},     // 64 + 262136 = 262200
        {2, 2, 65518, true},      // 64 + 262072 = 262136
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(std::to_string(c.rx_buffers) + "+" + std::to_string(c.tx_buffers) + " x " +
                     std::to_string(c.size));
        WriteDefaultKey();
        SetDword("RxBuffers", c.rx_buffers);
        SetDword("TxBuffers", c.tx_buffers);
        SetDword("RxBuffSize", c.size);
        SetDword("TxBuffSize", c.size);
        events.Clear();
        const bool fits = c.fits;
        EXPECT_EQ(Run(), fits ? STATUS_SUCCESS : STATUS_UNSUCCESSFUL);
        EXPECT_EQ(EventCodes(),
                  fits ? std::vector<uint32_t>{} : std::vector<uint32_t>{EVENT_BUFFERS_TOO_LARGE});
    }
}

TEST_F(ValidationTest, CardMemoryArithmetic) {
    PortConfig probe;
    probe.RxBuffers = probe.TxBuffers = 100;
    probe.RxBuffSize = probe.TxBuffSize = 1024;
    EXPECT_EQ(CardMemoryNeeded(probe), 208000u);
    probe.RxBuffSize = probe.TxBuffSize = 1400;
    EXPECT_EQ(CardMemoryNeeded(probe), 283200u);
    // Sizes near the 32-bit limit do not wrap.
    probe.RxBuffers = probe.TxBuffers = 0x80000000u;
    EXPECT_GT(CardMemoryNeeded(probe), kCardMemoryBytes);
}

TEST_F(ValidationTest, DpllDivisorAndSourceAreCheckedOnlyWithTheDpll) {
    SetDword("DpllDivisor", 7);
    SetDword("DpllSource", 5);
    for (uint32_t dpll : {0u, 1u}) {
        SetDword("Dpll", dpll);
        EXPECT_EQ(Run(), STATUS_SUCCESS) << dpll;
    }
    SetDword("Dpll", 64);
    EXPECT_EQ(Run(), STATUS_UNSUCCESSFUL);
    ASSERT_EQ(events.Entries().size(), 1u);
    EXPECT_EQ(events.Entries()[0].strings[0], "DpllDivisor");
    SetDword("DpllDivisor", 16);
    events.Clear();
    EXPECT_EQ(Run(), STATUS_UNSUCCESSFUL);
    EXPECT_EQ(events.Entries()[0].strings[0], "DpllSource");
}

TEST_F(ValidationTest, TxcModeIsReplacedFromTheTransmitClock) {
    struct Case {
        uint32_t txc_mode, tx_clock, expected;
    };
    for (const Case& c :
         {Case{1, 2, 1}, Case{2, 1, 2}, Case{0, 1, 1}, Case{7, 3, 2}, Case{0xFFFFFFFF, 0, 2}}) {
        SetDword("TXCMode", c.txc_mode);
        SetDword("TxClock", c.tx_clock);
        ASSERT_EQ(Run(), STATUS_SUCCESS);
        EXPECT_EQ(config.TXCMode, c.expected) << c.txc_mode << "/" << c.tx_clock;
    }
}

TEST_F(ValidationTest, ProtocolIsAlwaysHdlc) {
    SetDword("Protocol", 1);
    ASSERT_EQ(Run(), STATUS_SUCCESS);
    EXPECT_EQ(config.Protocol, 0u);
}

TEST_F(ValidationTest, DisabledPortLogsButStillPasses) {
    SetDword("Enabled", 0);
    EXPECT_EQ(Run(), STATUS_SUCCESS);
    EXPECT_EQ(EventCodes(), std::vector<uint32_t>{EVENT_PORT_DISABLED});
}

TEST_F(ValidationTest, OscillatorLengthCases) {
    struct Case {
        const char* text;
        NTSTATUS status;
    };
    const Case cases[] = {
        {"", STATUS_SUCCESS},
        {"123456789", STATUS_SUCCESS},
        {"1234567890", STATUS_BUFFER_OVERFLOW},
        {"12345678901234", STATUS_BUFFER_OVERFLOW},
        {"123456789012345", STATUS_BUFFER_TOO_SMALL},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.text);
        SetString("Oscillator", c.text);
        events.Clear();
        EXPECT_EQ(Run(), c.status);
        EXPECT_TRUE(events.Entries().empty());
        if (c.status == STATUS_SUCCESS) {
            EXPECT_STREQ(config.Oscillator, c.text);
        }
    }
}

TEST_F(ValidationTest, BadRegistryInputFailsTheReadWithoutAnEvent) {
    SetString("Divisor", "126");
    EXPECT_EQ(Run(), STATUS_OBJECT_TYPE_MISMATCH);
    WriteDefaultKey();
    SetDword("Oscillator", 20);
    EXPECT_EQ(Run(), STATUS_OBJECT_TYPE_MISMATCH);
    ASSERT_TRUE(registry.DeleteKey(kTestPortKey).ok());
    EXPECT_EQ(Run(), STATUS_OBJECT_NAME_NOT_FOUND);
    EXPECT_TRUE(events.Entries().empty());
}

TEST_F(ValidationTest, MissingValuesTakeDefaultsOrKeepTheField) {
    for (const char* name : {"Divisor", "RxBuffers", "Interface", "Oscillator"}) {
        ASSERT_TRUE(registry.DeleteValue(kTestPortKey, name).ok());
    }
    config = StartedConfig();
    config.Interface = 4;
    std::strcpy(config.Oscillator, "KEEP");
    ASSERT_EQ(ReadValidatePortConfig(driver, driver.service_key, 1, config), STATUS_SUCCESS);
    EXPECT_EQ(config.Divisor, 126u);
    EXPECT_EQ(config.RxBuffers, 100u);
    EXPECT_EQ(config.Interface, 4u);
    EXPECT_STREQ(config.Oscillator, "KEEP");
}

// Older card type rules: jumpered I/O and memory ranges and selectable interrupt levels.
TEST_F(ValidationTest, ResourceRulesByCardType) {
    struct Case {
        uint8_t card;
        uint64_t base_io, memory;
        uint32_t interrupt;
        uint32_t event;  // 0: accepted
        const char* insertion;
    };
    const Case cases[] = {
        {13, 0xE004, 0xF8000000, 11, EVENT_BAD_BASEIO, "E004"},
        {13, 0xE000, 0xF8000000, 99, 0, nullptr},  // PCI interrupts are not checked
        {7, 0x300, 0xD0000, 10, 0, nullptr},
        {7, 0x1FC, 0xD0000, 10, EVENT_BAD_BASEIO, "1FC"},
        {7, 0x302, 0xD0000, 10, EVENT_BAD_BASEIO, "302"},
        {7, 0x300, 0xD2000, 10, EVENT_BAD_MEMORY, "D2000"},
        {7, 0x300, 0x100000, 10, EVENT_BAD_MEMORY, "100000"},
        {7, 0x300, 0xD0000, 6, EVENT_BAD_INTERRUPT, "6"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(::testing::Message() << "card " << int(c.card) << " io " << c.base_io);
        config = StartedConfig();
        config.Card = c.card;
        config.BaseIO = c.base_io;
        config.Memory = c.memory;
        config.Interrupt = c.interrupt;
        events.Clear();
        const NTSTATUS status = ReadValidatePortConfig(driver, driver.service_key, 1, config);
        EXPECT_EQ(status, c.event == 0 ? STATUS_SUCCESS : STATUS_UNSUCCESSFUL);
        if (c.event != 0) {
            ASSERT_EQ(events.Entries().size(), 1u);
            EXPECT_EQ(events.Entries()[0].error_code, c.event);
            EXPECT_EQ(events.Entries()[0].strings[0], c.insertion);
        }
    }
}

TEST_F(ValidationTest, EventLogLevelFiltersEveryEvent) {
    struct Case {
        uint32_t level;
        bool logged;
    };
    for (const Case& c : {Case{0, false}, Case{1, false}, Case{2, true}, Case{3, true}}) {
        driver.event_log_level = c.level;
        SetDword("IdleState", 9);
        events.Clear();
        EXPECT_EQ(Run(), STATUS_UNSUCCESSFUL) << "level " << c.level;
        EXPECT_EQ(events.Entries().size(), c.logged ? 1u : 0u) << "level " << c.level;
    }
}

TEST_F(ValidationTest, EventLogLevelIsReadFromParametersWithFallback) {
    const std::string parameters = std::string(kServiceKeyPath) + "\\Parameters";
    EXPECT_EQ(ReadEventLogLevel(registry, kServiceKeyPath), 2u);  // missing
    ASSERT_TRUE(registry.SetString(parameters, "EventLogLevel", "3").ok());
    EXPECT_EQ(ReadEventLogLevel(registry, kServiceKeyPath), 2u);  // unreadable
    ASSERT_TRUE(registry.SetDword(parameters, "EventLogLevel", 3).ok());
    EXPECT_EQ(ReadEventLogLevel(registry, kServiceKeyPath), 3u);
}

TEST(EventLogTest, InsertionStringsAreCappedAndRequestFieldsCopied) {
    qorval::platform::RecordingEventLog log;
    DriverContext driver;
    driver.event_log = &log;
    std::vector<std::string> strings(25, "s");
    const EventRequestInfo request{3, STATUS_CANCELLED, 0x9C40A404};
    const uint32_t dump[3] = {1, 2, 3};
    ASSERT_TRUE(LogEvent(driver, kDriverMessageLevel, EVENT_BAD_VALUE, 1, kEventSource, &request,
                         dump, strings));
    const auto entry = log.Entries().at(0);
    EXPECT_EQ(entry.strings.size(), kMaxInsertionStrings);
    EXPECT_EQ(entry.dump_data, (std::vector<uint32_t>{1, 2, 3}));
    EXPECT_EQ(entry.major_function, 3);
    EXPECT_EQ(entry.final_status, STATUS_CANCELLED);
    EXPECT_EQ(entry.io_control_code, 0x9C40A404u);
    // A message above the level is not written.
    driver.event_log_level = 1;
    EXPECT_FALSE(
        LogEvent(driver, kDriverMessageLevel, EVENT_BAD_VALUE, 1, kEventSource, nullptr, {}, {}));
}

TEST(EventTextTest, EveryCodeHasATextAndTheInsertionIsPlaced) {
    for (uint32_t code :
         {EVENT_DRIVER_LOADED, EVENT_DRIVER_INIT_OK, EVENT_DRIVER_INIT_FAILED, EVENT_BAD_INTERFACE,
          EVENT_BAD_MEMORY, EVENT_BAD_BASEIO, EVENT_BAD_INTERRUPT, EVENT_PROGRAMME_FAILED,
          EVENT_RESET_FAILED, EVENT_BAD_VALUE, EVENT_BUFFERS_TOO_LARGE, EVENT_TOO_FEW_BUFFERS,
          EVENT_BOARD_ABSENT, EVENT_PORT_DISABLED, EVENT_NO_POOL}) {
        EXPECT_FALSE(EventMessageText(code).empty()) << std::hex << code;
    }
    const std::string strings[1] = {"TxIdle"};
    EXPECT_EQ(FormatEventMessage(EVENT_BAD_VALUE, strings),
              "Registry value TxIdle is out of range.");
}

}  // namespace
}  // namespace wyvel32::testing
