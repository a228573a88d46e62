#include <gtest/gtest.h>

#include "applet/add_rules.h"
#include "applet/data_rate.h"
#include "applet/field_rules.h"
#include "applet/model_edits.h"
#include "applet/ok_checks.h"
#include "platform/testing/recording_user_messages.h"

namespace qorval::applet {
namespace {

using ui::testing::RecordingUserMessages;

ConfigModel OneDriver(int32_t type, int32_t card, int32_t base = 0x238) {
    ConfigModel model;
    RecordingUserMessages user;
    EXPECT_TRUE(AddDriver(model, type, base, card, user, nullptr));
    return model;
}

void ExpectOnlyError(const RecordingUserMessages& user, const std::string& text,
                     const std::string& caption) {
    ASSERT_EQ(user.shown.size(), 1u);
    EXPECT_EQ(user.shown[0].text, text);
    EXPECT_EQ(user.shown[0].caption, caption);
    EXPECT_EQ(user.shown[0].icon, ui::MessageIcon::Stop);
    EXPECT_EQ(user.shown[0].buttons, ui::MessageButtons::Ok);
}

TEST(FieldRules, BaseAddressEndingAndConflicts) {
    ConfigModel model = OneDriver(kHestabe5, kHazel);
    RecordingUserMessages other;
    ASSERT_TRUE(AddDriver(model, kFendar5, 0x300, kAlder, other, nullptr));
    model.selected_driver = 0;
    model.selected_port = 1;
    {
        RecordingUserMessages user;
        EXPECT_EQ(ApplyBaseAddress(model, "2E4", user), FieldResult::Refused);
        ExpectOnlyError(user, "The base I/O address must end in 0 or 8.", "Incorrect Address");
    }
    {
        RecordingUserMessages user;
        EXPECT_EQ(ApplyBaseAddress(model, "300", user), FieldResult::Refused);
        ExpectOnlyError(user, "IO Address 300 is in use by Port001 on the SCC SDLC/HDLC driver.",
                        "IO Address Conflict");
    }
    {
        RecordingUserMessages user;  // unchanged: no conflict with the card's own ports
        EXPECT_EQ(ApplyBaseAddress(model, "238", user), FieldResult::Accepted);
        EXPECT_EQ(ApplyBaseAddress(model, "2e8", user), FieldResult::Accepted);
        EXPECT_TRUE(user.shown.empty());
    }
    EXPECT_EQ(model.port(0, 0).BaseIO, 0x2E8);
    EXPECT_EQ(model.port(0, 1).BaseIO, 0x2E8);
}

TEST(FieldRules, MemoryAddressBoundaryAndRange) {
    struct Case {
        const char* text;
        bool accepted;
        const char* message;
    };
    const char* boundary =
        "The memory address must be on a 4K boundary (last 3 digits need to be zero)!";
    const char* range = "The memory address must be between 0x80000 and 0xfc000.";
    const Case cases[] = {
        {"80000", true, nullptr}, {"FC000", true, nullptr},   {"7F000", false, range},
        {"FD000", false, range},  {"FC001", false, boundary}, {"00", false, boundary},
    };
    for (const Case& c : cases) {
        ConfigModel model = OneDriver(kWyvel32, kPine);
        RecordingUserMessages user;
        const FieldResult result = ApplyMemoryAddress(model, c.text, user);
        EXPECT_EQ(result == FieldResult::Accepted, c.accepted) << c.text;
        if (c.accepted) {
            EXPECT_EQ(model.port(0, 0).Memory,
                      static_cast<int32_t>(std::stoul(c.text, nullptr, 16)));
        } else {
            ExpectOnlyError(user, c.message, "Incorrect Address");
            EXPECT_EQ(model.port(0, 0).Memory, 0xD0000);
        }
    }
}

TEST(FieldRules, InterruptInUseByAnEnabledPort) {
    ConfigModel model = OneDriver(kGorlin5, kHazel);  // Gorlin5 ports start enabled
    RecordingUserMessages user;
    ASSERT_TRUE(AddDriver(model, kHestabe5, 0x300, kAlder, user, nullptr));
    model.port(0, 0).Interrupt = 7;
    model.selected_driver = 1;
    EXPECT_EQ(ApplyInterrupt(model, 7, user), FieldResult::Refused);
    ExpectOnlyError(user,
                    "Interrupt 7 is in use by Port001 on the SCC Monosync/Bisync driver.\n"
                    "Disable that port or choose a different IRQ.",
                    "IRQ Conflict");
    // Keeping the card's own IRQ is no conflict with the card's own enabled port.
    model.selected_driver = 0;
    EXPECT_EQ(ApplyInterrupt(model, 7, user), FieldResult::Accepted);
    EXPECT_EQ(user.shown.size(), 1u);
    model.selected_driver = 1;
    model.port(0, 0).Enabled = 0;
    EXPECT_EQ(ApplyInterrupt(model, 7, user), FieldResult::Accepted);
    EXPECT_EQ(model.port(1, 0).Interrupt, 7);
}

TEST(FieldRules, FendarPortModes) {
    for (bool win9x : {false, true}) {
        ConfigModel model = OneDriver(kFendar5, kHazel);
        model.platform_win9x = win9x;
        RecordingUserMessages user;
        EXPECT_EQ(ApplyPortMode(model, kModeInterrupt, user), FieldResult::Refused);
        EXPECT_EQ(user.shown.back().text,
                  "Interrupt mode is not supported by the\nSCC SDLC/HDLC driver.");
        EXPECT_EQ(user.shown.back().caption, "Invalid Port Mode");
        EXPECT_EQ(ApplyPortMode(model, kModeFullDuplex, user),
                  win9x ? FieldResult::Accepted : FieldResult::Refused);
        if (!win9x) {
            EXPECT_EQ(user.shown.back().text,
                      "Full Duplex mode is not supported by the\nSCC SDLC/HDLC driver.");
        }
        EXPECT_EQ(ApplyPortMode(model, kModeHalfDuplex, user), FieldResult::Accepted);
    }
    ConfigModel model = OneDriver(kHestabe5, kHazel);
    RecordingUserMessages user;
    EXPECT_EQ(ApplyPortMode(model, kModeInterrupt, user), FieldResult::Accepted);
    EXPECT_EQ(model.port(0, 0).TxDMA, kNotSet);
    EXPECT_EQ(model.port(0, 0).RxDMA, kNotSet);
}

TEST(FieldRules, HalfDuplexDmaChannelsMove) {
    ConfigModel model = OneDriver(kHestabe5, kHazel);
    model.port(0, 0).Mode = kModeHalfDuplex;
    ApplyDmaChannel(model, true, 1);
    EXPECT_EQ(model.port(0, 0).RxDMA, 1);
    model.port(0, 0).Mode = kModeFullDuplex;
    ApplyDmaChannel(model, false, 3);
    EXPECT_EQ(model.port(0, 0).TxDMA, 1);
    EXPECT_EQ(model.port(0, 0).RxDMA, 3);
}

TEST(FieldRules, BufferValuesAndOnboardMemory) {
    struct Case {
        int32_t type;
        BufferField field;
        const char* text;
        const char* message;  // nullptr: accepted
    };
    const char* over260 =
        "Requested memory exceeds available on-board memory!\n\nRequested Memory = 260K\n"
        "Available Memory = 256K\n\nPlease reduce the buffer size OR the number of buffers.";
    const Case cases[] = {
        {kHestabe5, BufferField::TxBuffSize, "1023", nullptr},
        {kWyvel32, BufferField::TxBuffSize, "1023", "The buffer size must be an even number"},
        {kWyvel32, BufferField::RxBuffSize, "0", "The buffer size must be greater than 0"},
        {kHestabe5, BufferField::TxBuffers, "-3", "The number of buffers must be greater than 0"},
        {kWyvel32, BufferField::TxBuffers, "128", nullptr},
        {kWyvel32, BufferField::TxBuffers, "156", over260},
        {kHestabe5, BufferField::TxBuffers, "100000", nullptr},
        // A count whose memory need wraps around 32 bits to 103744 bytes is still refused.
        {kWyvel32, BufferField::TxBuffers, "4129776", ""},
    };
    for (const Case& c : cases) {
        ConfigModel model = OneDriver(c.type, c.type == kWyvel32 ? kPine : kHazel);
        RecordingUserMessages user;
        const PortEntry before = model.port(0, 0);
        const FieldResult result = ApplyBufferValue(model, c.field, c.text, user);
        if (c.message == nullptr) {
            EXPECT_EQ(result, FieldResult::Accepted) << c.text;
            continue;
        }
        EXPECT_EQ(result, FieldResult::Refused) << c.text;
        EXPECT_EQ(model.port(0, 0), before);
        ASSERT_EQ(user.shown.size(), 1u);
        EXPECT_EQ(user.shown[0].caption, "Illegal Buffer Value");
        if (*c.message != '\0') {
            EXPECT_EQ(user.shown[0].text, c.message);
        }
    }
    // 128 + 128 buffers of 1024 bytes need 266240 bytes.
    ConfigModel model = OneDriver(kWyvel32, kPine);
    RecordingUserMessages user;
    ASSERT_EQ(ApplyBufferValue(model, BufferField::TxBuffers, "128", user), FieldResult::Accepted);
    EXPECT_EQ(ApplyBufferValue(model, BufferField::RxBuffers, "128", user), FieldResult::Refused);
    EXPECT_EQ(user.shown.back().text, over260);
}

TEST(FieldRules, OptionsOnlySomeDriversOrCardsTake) {
    struct Case {
        FieldResult (*apply)(ConfigModel&, int32_t, ui::UserMessages&);
        int32_t code;
        const char* caption;
    };
    const Case wyvel_only[] = {
        {ApplyCrcUsed, 1, "Invalid CRC Option"},
        {ApplyIdleState, 2, "Invalid Idle State"},
        {ApplyIdleState, 3, "Invalid Idle State"},
        {ApplyIdleState, 4, "Invalid Idle State"},
        {ApplyDpll, kDpllDiffBiPhaseLevel, "Invalid DPLL"},
        {ApplyDpll, kDpllNrzb, "Invalid DPLL"},
        {ApplyDpll, kDpllNrziMark, "Invalid DPLL"},
        {ApplyDpllSource, 128, "Invalid DPLL Source"},
    };
    for (const Case& c : wyvel_only) {
        ConfigModel scc = OneDriver(kFendar5, kHazel);
        RecordingUserMessages user;
        EXPECT_EQ(c.apply(scc, c.code, user), FieldResult::Refused) << c.caption << c.code;
        ExpectOnlyError(user, "This option is only valid with the 16C32 HDLC/SDLC driver.",
                        c.caption);
        ConfigModel iusc = OneDriver(kWyvel32, kPine);
        EXPECT_EQ(c.apply(iusc, c.code, user), FieldResult::Accepted);
    }
    ConfigModel scc = OneDriver(kFendar5, kHazel);
    RecordingUserMessages user;
    EXPECT_EQ(ApplyCrcUsed(scc, 2, user), FieldResult::Accepted);
    EXPECT_EQ(ApplyInterface(scc, 20, user), FieldResult::Refused);
    ExpectOnlyError(user, "This option is only valid with the Spruce or Nutmeg cards.",
                    "Invalid Interface Option");
    ConfigModel spruce = OneDriver(kHestabe5, kSpruce);
    EXPECT_EQ(ApplyInterface(spruce, 20, user), FieldResult::Accepted);
    EXPECT_EQ(spruce.port(0, 0).Interface, 20);
}

TEST(FieldRules, RxTimeoutZeroKeepsTheModel) {
    ConfigModel model = OneDriver(kHestabe5, kHazel);
    RecordingUserMessages user;
    EXPECT_EQ(ApplyRxTimeout(model, "abc", user), FieldResult::KeptText);
    EXPECT_EQ(model.port(0, 0).RxTimeout, 50000);
    ASSERT_EQ(user.shown.size(), 1u);
    EXPECT_EQ(user.shown[0].text, "You must select a RxTimeout value greater than zero");
    EXPECT_EQ(user.shown[0].caption, "Invalid Timeout Requested");
    EXPECT_EQ(user.shown[0].icon, ui::MessageIcon::None);
    EXPECT_EQ(ApplyRxTimeout(model, "1200ms", user), FieldResult::Accepted);
    EXPECT_EQ(model.port(0, 0).RxTimeout, 1200);
}

TEST(AddRules, RefusalsInOrder) {
    ConfigModel model = OneDriver(kHestabe5, kHazel);
    struct Case {
        int32_t type, base, card;
        const char* text;
        const char* caption;
    };
    const Case cases[] = {
        {kFendar5, 0x238, kOak,
         "IO Address 238 is in use by Port001 on the SCC Asynchronous driver.\n"
         "In order to add a new driver, choose a different address.",
         "IO Address Conflict"},
        {kFendar5, 0x300, kOak,
         "The Oak, Pine, and Rowan cards can only be used with the 16C32 SDLC/HDLC driver.",
         "Invalid Card"},
        {kWyvel32, 0x300, kHazel,
         "The 16C32 SDLC/HDLC driver only works with the Oak, Pine, and Rowan cards.",
         "Invalid Card"},
        {kGorlin5, 0x300, kNutmeg,
         "The Nutmeg and Spruce cards can only be used with the HESTABE5 driver.", "Invalid Card"},
    };
    for (const Case& c : cases) {
        RecordingUserMessages user;
        EXPECT_FALSE(CheckAddDriver(model, c.type, c.base, c.card, user));
        ExpectOnlyError(user, c.text, c.caption);
    }
    RecordingUserMessages user;
    EXPECT_TRUE(
        CheckAddDriver(model, kWyvel32, 0x304, kRowan, user));  // last digit not checked here
    EXPECT_TRUE(CheckAddCard(model, 0x300, kSpruce, user));
    EXPECT_FALSE(CheckAddCard(model, 0x238, kSpruce, user));
    EXPECT_EQ(user.shown.back().text,
              "IO Address 238 is in use by Port001 on the SCC Asynchronous driver.\n"
              "In order to add a new card, choose a different address.");
}

TEST(AddRules, NutmegAddressFromPcCardServices) {
    RecordingUserMessages user;
    EXPECT_EQ(ResolveNutmegAddress(0x238, user,
                                   [] {
                                       return PcmciaResources{true, true, 0x3E8, true, 5};
                                   }),
              0x3E8);
    EXPECT_EQ(user.shown.back().text, "Found PCMCIA Card configured at address=3E8h");
    EXPECT_EQ(ResolveNutmegAddress(0x238, user, [] { return PcmciaResources{}; }), 0x238);
    EXPECT_EQ(
        user.shown.back().text,
        "No Nutmeg cards were configured by PCMCIA services,\nInstall Card before adding driver.");
    EXPECT_EQ(user.shown.back().caption, "No Cards Found");
    EXPECT_EQ(user.shown.back().icon, ui::MessageIcon::Warning);
}

TEST(DataRate, FollowsTheClockChain) {
    ConfigModel model = OneDriver(kWyvel32, kPine);
    // A new 16C32 port shows the rate the card runs at: 20 MHz / (126 + 1).
    EXPECT_DOUBLE_EQ(ComputeDataRate(model, 0, 0), 20000000.0 / 127.0);
    model.port(0, 0).Oscillator = "16.000";
    EXPECT_DOUBLE_EQ(ComputeDataRate(model, 0, 0), 16000000.0 / 127.0);  // 125984.25
    // The driver reads the divisor as an unsigned 32-bit value: -5 is 4294967291, never a
    // negative rate.
    model.port(0, 0).Divisor = -5;
    EXPECT_GE(ComputeDataRate(model, 0, 0), 0.0);
    EXPECT_LT(ComputeDataRate(model, 0, 0), 0.5);

    ConfigModel scc = OneDriver(kHestabe5, kHazel);
    PortEntry& p = scc.port(0, 0);
    p.Oscillator = "7.37280";
    p.Divisor = 22;
    p.ClockX = 16;
    EXPECT_DOUBLE_EQ(ComputeDataRate(scc, 0, 0), 9600.0);
    p.BRGSource = 1;
    EXPECT_DOUBLE_EQ(ComputeDataRate(scc, 0, 0), 7372800.0 / 16);
    p.TxClock = kClockDpll;
    p.Dpll = kDpllNrzi;
    EXPECT_DOUBLE_EQ(ComputeDataRate(scc, 0, 0), 7372800.0 / 32);
    p.Dpll = kDpllManchester;
    EXPECT_DOUBLE_EQ(ComputeDataRate(scc, 0, 0), 7372800.0 / 16);

    ConfigModel fendar = OneDriver(kFendar5, kHazel);
    fendar.port(0, 0).ClockX = 64;  // only Hestabe5 uses the multiplier
    fendar.port(0, 0).Divisor = 0;
    EXPECT_DOUBLE_EQ(ComputeDataRate(fendar, 0, 0), 7372800.0 / 4);
    fendar.port(0, 0).Oscillator = "none";
    EXPECT_EQ(ComputeDataRate(fendar, 0, 0), 0.0);
    // An all-ones divisor is the slowest chain, never a division by zero.
    model.port(0, 0).Divisor = -1;
    EXPECT_GT(ComputeDataRate(model, 0, 0), 0.0);
    EXPECT_LT(ComputeDataRate(model, 0, 0), 0.01);
}

// A Hestabe5 port at `divisor` on a 7.3728 MHz oscillator with X16 and `buffers` bytes.
ConfigModel TimeoutModel(int32_t divisor, int32_t buffers) {
    ConfigModel model = OneDriver(kHestabe5, kAlder);
    PortEntry& p = model.port(0, 0);
    p.Divisor = divisor;
    p.TxBuffSize = buffers;
    p.RxBuffSize = buffers;
    return model;
}

TEST(RecommendTimeouts, CapFloorAndAnswers) {
    struct Case {
        int32_t divisor, buffers;
        uint32_t expected;
    };
    const Case cases[] = {{22, 1024, 250000}, {0, 16, 694}};  // 9600 and 115200 bits per second
    for (const Case& c : cases) {
        ConfigModel model = TimeoutModel(c.divisor, c.buffers);
        RecordingUserMessages user{ui::MessageAnswer::Yes};
        ASSERT_TRUE(RecommendTimeouts(model, user).proceed);
        ASSERT_EQ(user.shown.size(), 1u);
        EXPECT_EQ(user.shown[0].caption, "Recommended Timeouts");
        EXPECT_EQ(user.shown[0].buttons, ui::MessageButtons::YesNoCancel);
        const std::string value = std::to_string(c.expected);
        EXPECT_EQ(
            user.shown[0].text,
            "SCC Asynchronous, Port001:\n\nThe current timeout values are:\n\tRxTimeout: 50000\n"
            "\tTxTimeout: 50000.\n\nThe recomended settings are:\n\tRxTimeout: " +
                value + "\n\tTxTimeout: " + value +
                ".\n\nDo you want to update the timeouts with the recommended values?");
        EXPECT_EQ(static_cast<uint32_t>(model.port(0, 0).RxTimeout), c.expected);
        EXPECT_EQ(static_cast<uint32_t>(model.port(0, 0).TxTimeout), c.expected);
        // Once stored, the same values are not asked about again.
        RecordingUserMessages again;
        ASSERT_TRUE(RecommendTimeouts(model, again).proceed);
        EXPECT_TRUE(again.shown.empty());
    }
    ConfigModel model = TimeoutModel(22, 1024);
    RecordingUserMessages no{ui::MessageAnswer::No};
    EXPECT_TRUE(RecommendTimeouts(model, no).proceed);
    EXPECT_EQ(model.port(0, 0).RxTimeout, 50000);
    model.selected_port = 0;
    RecordingUserMessages cancel{ui::MessageAnswer::Cancel};
    const CheckResult result = RecommendTimeouts(model, cancel);
    EXPECT_FALSE(result.proceed);
    EXPECT_EQ(result.page, SheetPage::Current);
    EXPECT_EQ(model.port(0, 0).RxTimeout, 50000);
}

TEST(RecommendTimeouts, SkipsPortsWithoutARate) {
    ConfigModel model = TimeoutModel(22, 1024);
    model.port(0, 0).DataBits = 9;
    RecordingUserMessages user;
    EXPECT_TRUE(RecommendTimeouts(model, user).proceed);
    ConfigModel other = OneDriver(kFendar5, kHazel);  // not Hestabe5
    EXPECT_TRUE(RecommendTimeouts(other, user).proceed);
    EXPECT_TRUE(user.shown.empty());
}

TEST(OkChecks, PortModesOfFendarAbortOnTheField) {
    ConfigModel model = OneDriver(kHestabe5, kHazel);
    RecordingUserMessages add;
    ASSERT_TRUE(AddDriver(model, kFendar5, 0x300, kHazel, add, nullptr));
    model.port(1, 1).Mode = kModeInterrupt;
    model.port(1, 1).Enabled = 0;  // disabled ports are checked too
    RecordingUserMessages user;
    const CheckResult result = CheckPortModes(model, user);
    EXPECT_FALSE(result.proceed);
    EXPECT_EQ(result.page, SheetPage::SystemResources);
    EXPECT_EQ(result.field, FocusField::PortMode);
    EXPECT_EQ(model.selected_driver, 1);
    EXPECT_EQ(model.selected_port, 1);
    ExpectOnlyError(user, "Interrupt mode is not supported by the\nSCC SDLC/HDLC driver.",
                    "Invalid Port Mode");
}

// Two enabled Hestabe5 ports on two one-channel cards.
ConfigModel TwoAlders() {
    ConfigModel model = OneDriver(kHestabe5, kAlder);
    RecordingUserMessages user;
    EXPECT_TRUE(AddCard(model, 0x300, kAlder, user, nullptr));
    for (int p = 0; p < 2; ++p) {
        model.port(0, p).Enabled = 1;
        model.port(0, p).Mode = kModeHalfDuplex;
    }
    model.port(0, 0).TxDMA = model.port(0, 0).RxDMA = 1;
    model.port(0, 1).TxDMA = model.port(0, 1).RxDMA = 3;
    model.port(0, 1).Interrupt = 4;
    for (int p = 0; p < 2; ++p) {
        // Timeouts as recommended, so that only the checks under test ask questions.
        Timeouts timeouts;
        EXPECT_TRUE(RecommendedTimeouts(model.port(0, p), ComputeDataRate(model, 0, p), timeouts));
        model.port(0, p).RxTimeout = static_cast<int32_t>(timeouts.rx);
        model.port(0, p).TxTimeout = static_cast<int32_t>(timeouts.tx);
    }
    return model;
}

TEST(OkChecks, DmaQuestionsDisableOrAbort) {
    {
        ConfigModel model = TwoAlders();
        RecordingUserMessages user;
        EXPECT_TRUE(RunOkChecks(model, user).proceed);
        EXPECT_TRUE(user.shown.empty());
    }
    {
        ConfigModel model = TwoAlders();
        model.port(0, 1).Mode = kModeFullDuplex;
        model.port(0, 1).RxDMA = kNotSet;
        RecordingUserMessages user{ui::MessageAnswer::Yes};
        EXPECT_TRUE(CheckDmaSettings(model, user).proceed);
        ASSERT_EQ(user.shown.size(), 1u);
        EXPECT_EQ(user.shown[0].text,
                  "SCC Asynchronous, Port002:\n\nReceive DMA must be defined when not running in "
                  "interrupt "
                  "mode.\nIgnore and disable the port?");
        EXPECT_EQ(user.shown[0].caption, "DMA Conflict");
        EXPECT_EQ(user.shown[0].icon, ui::MessageIcon::Question);
        EXPECT_EQ(model.port(0, 1).Enabled, 0);
    }
    {
        ConfigModel model = TwoAlders();
        model.port(0, 0).Mode = kModeAutoInit;
        RecordingUserMessages user{ui::MessageAnswer::No};
        const CheckResult result = CheckDmaSettings(model, user);
        EXPECT_FALSE(result.proceed);
        EXPECT_EQ(result.field, FocusField::TransmitDma);
        EXPECT_EQ(user.shown[0].text,
                  "SCC Asynchronous, Port001:\n\nTransmit and receive DMA must be different when "
                  "running if "
                  "full duplex or auto-init mode.\nIgnore and disable the port?");
        EXPECT_EQ(model.port(0, 0).Enabled, 1);
    }
    {
        ConfigModel model = TwoAlders();
        model.port(0, 1).TxDMA = 1;
        model.port(0, 1).Mode = kModeFullDuplex;
        RecordingUserMessages user{ui::MessageAnswer::Yes};
        EXPECT_TRUE(CheckDmaSettings(model, user).proceed);
        ASSERT_EQ(user.shown.size(), 1u);
        EXPECT_EQ(user.shown[0].text,
                  "The transmit DMA channel on\nSCC Asynchronous, Port001\nis conflicting with\n"
                  "SCC Asynchronous, Port002.\nIgnore and disable the first port?");
        EXPECT_EQ(model.port(0, 0).Enabled, 0);
        EXPECT_EQ(model.port(0, 1).Enabled, 1);
    }
    {
        ConfigModel model = TwoAlders();
        model.port(0, 1).RxDMA = 1;
        model.port(0, 1).TxDMA = 3;
        model.port(0, 1).Mode = kModeFullDuplex;
        model.port(0, 0).Enabled = 0;  // disabled ports take no part
        RecordingUserMessages user;
        EXPECT_TRUE(CheckDmaSettings(model, user).proceed);
        model.port(0, 0).Enabled = 1;
        model.driver(0).Start = kStartDisabled;  // nor do ports of a disabled driver
        EXPECT_TRUE(CheckDmaSettings(model, user).proceed);
        EXPECT_TRUE(user.shown.empty());
    }
}

TEST(OkChecks, BaseConflictsOnlyBetweenDrivers) {
    ConfigModel model = TwoAlders();
    RecordingUserMessages add;
    ASSERT_TRUE(AddDriver(model, kGorlin5, 0x2F8, kAlder, add, nullptr));
    model.port(1, 0).BaseIO = 0x300;
    model.port(1, 0).Interrupt = 9;
    model.port(1, 0).TxDMA = model.port(1, 0).RxDMA = kNotSet;
    model.port(1, 0).Mode = kModeInterrupt;
    RecordingUserMessages no{ui::MessageAnswer::No};
    const CheckResult result = CheckBaseConflicts(model, no);
    EXPECT_FALSE(result.proceed);
    EXPECT_EQ(result.field, FocusField::BaseAddress);
    EXPECT_EQ(model.selected_driver, 0);
    EXPECT_EQ(model.selected_port, 1);
    EXPECT_EQ(no.shown[0].caption, "Base I/O Address conflict");
    EXPECT_EQ(no.shown[0].text,
              "The base I/O address on Port002 of the\nSCC Asynchronous driver\nis conflicting "
              "with Port001 of "
              "the\nSCC Monosync/Bisync driver.\n\nDo you want to ignore the conflict?\nSelecting "
              "'Yes' will "
              "disable the first port.\nSelecting 'No'  will allow you to change the address.");
    RecordingUserMessages yes{ui::MessageAnswer::Yes};
    EXPECT_TRUE(CheckBaseConflicts(model, yes).proceed);
    EXPECT_EQ(yes.shown.size(), 1u);  // the second port of the pair is no longer in conflict
    EXPECT_EQ(model.port(0, 1).Enabled, 0);
    EXPECT_EQ(model.port(1, 0).Enabled, 1);
}

TEST(OkChecks, IrqConflictsExceptWithinOneCard) {
    ConfigModel model = OneDriver(kGorlin5, kHazel);  // both ports enabled, one card, one IRQ
    RecordingUserMessages user;
    EXPECT_TRUE(CheckIrqConflicts(model, user).proceed);
    EXPECT_TRUE(user.shown.empty());

    ConfigModel cards = TwoAlders();
    cards.port(0, 1).Interrupt = cards.port(0, 0).Interrupt;
    RecordingUserMessages no{ui::MessageAnswer::No};
    const CheckResult result = CheckIrqConflicts(cards, no);
    EXPECT_FALSE(result.proceed);
    EXPECT_EQ(result.field, FocusField::Interrupt);
    EXPECT_EQ(no.shown[0].caption, "IRQ conflict");
    EXPECT_EQ(no.shown[0].text,
              "The interrupt on Port001 of the\nSCC Asynchronous driver\nis conflicting with "
              "Port002 of the\n"
              "SCC Asynchronous driver.\n\nDo you want to ignore the conflict?\nSelecting 'Yes' "
              "will disable the "
              "first port.\nSelecting 'No'  will allow you to change the interrupt.");
}

TEST(OkChecks, SequenceStopsAtTheFirstAbortAndKeepsEarlierAnswers) {
    ConfigModel model = TwoAlders();
    model.port(0, 1).Interrupt = 5;                       // IRQ conflict, asked after DMA
    model.port(0, 1).TxDMA = model.port(0, 1).RxDMA = 1;  // DMA conflict
    RecordingUserMessages user{ui::MessageAnswer::No};
    EXPECT_FALSE(RunOkChecks(model, user).proceed);
    ASSERT_EQ(user.shown.size(), 1u);
    EXPECT_EQ(user.shown[0].caption, "DMA Conflict");
    RecordingUserMessages yes{ui::MessageAnswer::Yes};
    EXPECT_TRUE(RunOkChecks(model, yes).proceed);
    EXPECT_EQ(yes.shown.size(), 1u);  // disabling port 1 also settles the IRQ conflict
}

}  // namespace
}  // namespace qorval::applet
