// The texts of the port state dialog, its enable rules, its data rate and the record its OK
// button builds, on known records.

#include "dialogs/port_state_texts.h"

#include <gtest/gtest.h>

#include <clocale>
#include <cstring>
#include <string>

#include "dialogs/port_names.h"
#include "dialogs/tests/adapter_records.h"

namespace qorval::dialogs {
namespace {

using testing::AdapterPortInfo;
using testing::AdapterPortState;
using testing::SameRecord;

// The default port with a node address and counters of its own.
PortState CountingPortState() {
    PortState s = AdapterPortState();
    s.nodeAddress = 0x7E;
    s.txFrames = 1234;
    s.rxFrames = 987;
    s.crcErrors = 3;
    return s;
}

TEST(PortInfoTexts, ShowTheAdapterDriversRecordInTheDialogsFormats) {
    const InfoTexts t = FormatPortInfo(AdapterPortInfo());
    const InfoTexts expected = {"E020", "65535", "65535", "11", "1024", "2048",
                                "50",   "100",   "Rowan", "B",  "Full", "20.000    "};
    EXPECT_EQ(t, expected);
}

TEST(PortInfoTexts, NameChannelsRunModesAndOscillatorsAsTheDialogDoes) {
    PortInfo info = AdapterPortInfo();
    for (const auto& [mode, text] : {std::pair{1, "Half"}, std::pair{2, "Int"},
                                     std::pair{4, "Auto Init"}, std::pair{3, "3"}}) {
        info.runMode = static_cast<uint16_t>(mode);
        EXPECT_EQ(FormatPortInfo(info)[kRunMode], text);
    }
    info.channel = 0;
    EXPECT_EQ(FormatPortInfo(info)[kChannel], "A");
    info.channel = 2;
    EXPECT_EQ(FormatPortInfo(info)[kChannel], "2");
    // Ten characters at most, even when the field is not terminated.
    std::memset(info.oscillator, '7', sizeof info.oscillator);
    EXPECT_EQ(FormatPortInfo(info)[kOscillator], "7777777777");
}

TEST(CardNames, FollowTheDialogsOwnTable) {
    EXPECT_EQ(CardName(0), "Birch");
    EXPECT_EQ(CardName(6), "JuniperA");
    EXPECT_EQ(CardName(9), "????") << "the Maple card is not in the dialogs' table";
    EXPECT_EQ(CardName(12), "Pine");
    EXPECT_EQ(CardName(15), "Nutmeg");
    EXPECT_EQ(CardName(16), "????");
    EXPECT_EQ(CardName(0xFFFF), "????");
}

TEST(DriverAndPortNames, MapToTheirCodes) {
    EXPECT_EQ(DriverTypeFromName("Fendar5"), 1);
    EXPECT_EQ(DriverTypeFromName("GORLIN5"), 2) << "the library lists the names in capitals";
    EXPECT_EQ(DriverTypeFromName("WYVEL32"), 3);
    EXPECT_EQ(DriverTypeFromName("Wyvel3"), 0);
    EXPECT_EQ(PortNumberFromName("Port004"), 4);
    EXPECT_EQ(PortNumberFromName("Port005"), 1);
    EXPECT_EQ(PortNumberFromName("port002"), 1);
}

TEST(PortStateTexts, ShowNamedValuesAndNumbersForValuesOutsideTheLists) {
    const StateTexts t = FormatPortState(CountingPortState());
    const StateTexts expected = {"0",   "0", "126", "X1",   "8",   "0",   "None", "126",
                                 "1",   "NRZ", "BRG", "RXC", "PCLK", "OFF", "OFF"};
    EXPECT_EQ(t, expected);

    PortState s = CountingPortState();
    s.parity = 3;
    s.crcPreset = 1;
    s.dpll = 130;
    s.txClock = 3;
    s.rxClock = 1;
    s.brgSource = 2;
    s.loopback = 2;
    s.rs485 = 1;
    s.rxTimeout = 4000000000u;
    const StateTexts u = FormatPortState(s);
    EXPECT_EQ(u[kParity], "Even");
    EXPECT_EQ(u[kCrcPreset], "0");
    EXPECT_EQ(u[kDpll], "130");
    EXPECT_EQ(u[kTxClock], "DPLL");
    EXPECT_EQ(u[kRxClock], "TXC");
    EXPECT_EQ(u[kBrgSource], "2");
    EXPECT_EQ(u[kLoopback], "ON");
    EXPECT_EQ(u[kRs485], "ON");
    EXPECT_EQ(u[kRxTimeout], "4000000000");
}

TEST(CapabilityMask, OfTheAdapterDriverEnablesOnlyItsNineSettings) {
    std::vector<StateField> enabled;
    for (int f = 0; f < kStateFieldCount; ++f) {
        if (FieldEnabled(static_cast<StateField>(f), 0x0001FE10)) {
            enabled.push_back(static_cast<StateField>(f));
        }
    }
    EXPECT_EQ(enabled, (std::vector<StateField>{kDivisor, kNodeAdd, kCrcPreset, kDpll, kTxClock,
                                                kRxClock, kBrgSource, kLoopback, kRs485}));
    for (int f = 0; f < kStateFieldCount; ++f) {
        EXPECT_TRUE(FieldEnabled(static_cast<StateField>(f), 0x0001FFF3));
        EXPECT_FALSE(FieldEnabled(static_cast<StateField>(f), 0x0000000C));
    }
}

struct RateCase {
    const char* card;
    const char* oscillator;
    const char* divisor;
    const char* clockX;
    const char* brgSource;
    const char* txClock;
    const char* dpll;
    const char* rate;
};

TEST(DataRate, FollowsTheClockTextsOnScreen) {
    const RateCase cases[] = {
        {"Pine", "16.000    ", "126", "X1", "PCLK", "BRG", "NRZ", "125984.2520"},
        {"Oak", "16.000", "126", "X64", "RTXC", "DPLL", "FM0", "125984.2520"},
        {"Hazel", "20.000", "126", "X1", "PCLK", "BRG", "NRZ", "78125.0000"},
        {"Hazel", "20.000", "126", "X16", "PCLK", "BRG", "NRZ", "4882.8125"},
        {"Hazel", "20.000", "0", "X32", "RTXC", "BRG", "NRZ", "625000.0000"},
        {"Hazel", "20.000", "0", "X1", "RTXC", "DPLL", "FM1", "1250000.0000"},
        {"Hazel", "20.000", "0", "X1", "RTXC", "DPLL", "NRZI", "625000.0000"},
        {"Hazel", "20.000", "0", "X64", "RTXC", "DPLL", "NRZ", "312500.0000"},
        {"Hazel", "N/A", "N/A", "N/A", "N/A", "N/A", "N/A", "0.0000"},
        {"Rowan", "20.000", "65535", "X1", "PCLK", "BRG", "NRZ", "305.1758"},
        // A divisor text beyond the field gives the rate of the divisor OK writes (65535).
        {"Hazel", "20.000", "99999", "X1", "PCLK", "BRG", "NRZ", "152.5856"},
        // The oscillator is read as a plain decimal number: no hexadecimal, exponent or sign.
        {"Pine", "0x10", "126", "X1", "PCLK", "BRG", "NRZ", "0.0000"},
        {"Pine", "1e300", "126", "X1", "PCLK", "BRG", "NRZ", "7874.0157"},
        {"Pine", "-16.000", "126", "X1", "PCLK", "BRG", "NRZ", "0.0000"},
    };
    for (const RateCase& c : cases) {
        InfoTexts info = UnreadInfoTexts();
        info[kCard] = c.card;
        info[kOscillator] = c.oscillator;
        StateTexts state = UnreadStateTexts();
        state[kDivisor] = c.divisor;
        state[kClockX] = c.clockX;
        state[kBrgSource] = c.brgSource;
        state[kTxClock] = c.txClock;
        state[kDpll] = c.dpll;
        EXPECT_EQ(DataRateText(info, state), c.rate)
            << c.card << " " << c.clockX << " " << c.brgSource << " " << c.txClock;
    }
}

// The C library reads and writes numbers with the user's decimal separator once a window
// program has taken the user's locale; the oscillator and the rate keep their point.
TEST(DataRate, IsTheSameInALocaleWithADecimalComma) {
    const std::string before = std::setlocale(LC_NUMERIC, nullptr);
    if (std::setlocale(LC_NUMERIC, "de_DE.UTF-8") == nullptr) {
        GTEST_SKIP() << "no de_DE.UTF-8 locale (scripts/setup-deps makes one)";
    }
    InfoTexts info = UnreadInfoTexts();
    info[kCard] = "Pine";
    info[kOscillator] = "14.7456   ";
    StateTexts state = UnreadStateTexts();
    state[kDivisor] = "126";
    const std::string pine = DataRateText(info, state);
    info[kCard] = "Hazel";
    state[kClockX] = "X16";
    state[kBrgSource] = "PCLK";
    const std::string hazel = DataRateText(info, state);
    std::setlocale(LC_NUMERIC, before.c_str());
    EXPECT_EQ(pine, "116107.0866");
    EXPECT_EQ(hazel, "3600.0000");
}

TEST(RecordBuiltOnOk, IsTheDriversRecordWhenNothingWasChanged) {
    PortState s = CountingPortState();
    s.blockRead = 1;
    s.options = 0xA5A5;
    std::memset(s.reserved0, 0x5A, sizeof s.reserved0);
    EXPECT_TRUE(SameRecord(BuildPortState(FormatPortState(s), s), s));
    // Values outside the lists go back as they came: an encoding of the configuration's
    // (NRZB, 130) and the TxC pin as BRG source (2) are not turned into FM1 and PCLK.
    s.dpll = 130;
    s.brgSource = 2;
    s.txClock = 7;
    s.parity = 2;
    EXPECT_TRUE(SameRecord(BuildPortState(FormatPortState(s), s), s));
}

TEST(RecordBuiltOnOk, TakesEveryShownFieldFromItsText) {
    const PortState driver = CountingPortState();
    const StateTexts t = {"1000", "50000", "7",    "X64", "7",   "2",    "Even", "255",
                          "0",    "MCHSTR", "TXC", "DPLL", "RTXC", "ON", "ON"};
    const PortState s = BuildPortState(t, driver);
    EXPECT_EQ(s.rxTimeout, 1000u);
    EXPECT_EQ(s.txTimeout, 50000u);
    EXPECT_EQ(s.divisor, 7);
    EXPECT_EQ(s.clockMultiplier, 64);
    EXPECT_EQ(s.dataBits, 7);
    EXPECT_EQ(s.stopBits, 2);
    EXPECT_EQ(s.parity, 3);
    EXPECT_EQ(s.nodeAddress, 255);
    EXPECT_EQ(s.crcPreset, 1);
    EXPECT_EQ(s.dpll, 64);
    EXPECT_EQ(s.txClock, 1);
    EXPECT_EQ(s.rxClock, 3);
    EXPECT_EQ(s.brgSource, 1);
    EXPECT_EQ(s.loopback, 1);
    EXPECT_EQ(s.rs485, 1);
    // What the dialog does not show stays the driver's.
    EXPECT_EQ(s.txFrames, driver.txFrames);
    EXPECT_EQ(s.rxFrames, driver.rxFrames);
    EXPECT_EQ(s.crcErrors, driver.crcErrors);

    StateTexts other = t;
    other[kParity] = "Odd";
    other[kCrcPreset] = "1";
    other[kDpll] = "FM1";
    other[kTxClock] = "BRG";
    other[kRxClock] = "RXC";
    other[kBrgSource] = "PCLK";
    other[kLoopback] = "OFF";
    other[kDivisor] = "99999";  // more than the field holds: its largest value
    const PortState o = BuildPortState(other, driver);
    EXPECT_EQ(o.parity, 1);
    EXPECT_EQ(o.crcPreset, 2);
    EXPECT_EQ(o.dpll, 8);
    EXPECT_EQ(o.txClock, 2);
    EXPECT_EQ(o.rxClock, 0);
    EXPECT_EQ(o.brgSource, 0);
    EXPECT_EQ(o.loopback, 0);
    EXPECT_EQ(o.divisor, 0xFFFF);
}

TEST(RecordBuiltOnOk, KeepsTheDriversValueForTextsNeverRead) {
    const PortState driver = CountingPortState();
    EXPECT_TRUE(SameRecord(BuildPortState(UnreadStateTexts(), driver), driver));
}

}  // namespace
}  // namespace qorval::dialogs
