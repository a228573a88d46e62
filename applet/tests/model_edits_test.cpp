#include "applet/model_edits.h"

#include <gtest/gtest.h>

#include "applet/page_edits.h"
#include "platform/testing/recording_user_messages.h"

namespace qorval::applet {
namespace {

using ui::testing::RecordingUserMessages;

PcmciaReader Found(uint32_t base, uint32_t irq) {
    return [=] { return PcmciaResources{true, true, base, true, irq}; };
}

TEST(NewPortDefaults, DifferByDriverType) {
    struct Case {
        int32_t type;
        const char* oscillator;
        int32_t clock_x, enabled, rx_clock, mode, card, base, irq, tx_dma, tx_buffers, crc_used,
            memory;
    };
    const Case cases[] = {
        {kHestabe5, "7.37280", 16, 0, 2, 4, kHazel, 0x238, 5, 3, 25, 0, kNotSet},
        {kFendar5, "7.37280", 1, 0, 0, 4, kHazel, 0x238, 5, 3, 50, 2, kNotSet},
        {kGorlin5, "7.37280", 16, 1, 2, 4, kHazel, 0x238, 5, 3, 50, 0, kNotSet},
        {kWyvel32, "20.000", 1, 0, 0, 2, kPine, 0x300, 3, kNotSet, 100, 1, 0xD0000},
    };
    for (const Case& c : cases) {
        PortEntry port;
        port.Parity = 9;
        ApplyNewPortDefaults(port, c.type);
        EXPECT_EQ(port.name, "NewPort");
        EXPECT_EQ(port.Oscillator, c.oscillator) << c.type;
        EXPECT_EQ(port.ClockX, c.clock_x) << c.type;
        EXPECT_EQ(port.Enabled, c.enabled) << c.type;
        EXPECT_EQ(port.RxClock, c.rx_clock) << c.type;
        EXPECT_EQ(port.Mode, c.mode) << c.type;
        EXPECT_EQ(port.Card, c.card) << c.type;
        EXPECT_EQ(port.BaseIO, c.base) << c.type;
        EXPECT_EQ(port.Interrupt, c.irq) << c.type;
        EXPECT_EQ(port.TxDMA, c.tx_dma) << c.type;
        EXPECT_EQ(port.TxBuffers, c.tx_buffers) << c.type;
        EXPECT_EQ(port.CrcUsed, c.crc_used) << c.type;
        EXPECT_EQ(port.Memory, c.memory) << c.type;
        EXPECT_EQ(port.Parity, 0);
        EXPECT_EQ(port.Protocol, kNotSet);
        EXPECT_EQ(port.TXCMode, kNotSet);
    }
}

TEST(AddDriver, TwoChannelCardGetsTwoPortsOnOneBase) {
    ConfigModel model;
    RecordingUserMessages user;
    ASSERT_TRUE(AddDriver(model, kHestabe5, 0x2A0, kBirch, user, nullptr));
    const DriverEntry& entry = model.driver(0);
    EXPECT_EQ(model.driver_count, 1);
    EXPECT_EQ(entry.name, "Hestabe5");
    EXPECT_EQ(entry.Start, kStartEnabled);
    EXPECT_EQ(entry.ErrorControl, 1);
    EXPECT_EQ(entry.Type, 1);
    EXPECT_EQ(entry.Group, "Extended Base");
    ASSERT_EQ(entry.port_count, 2);
    EXPECT_EQ(entry.ports[0].name, "Port001");
    EXPECT_EQ(entry.ports[1].name, "Port002");
    EXPECT_EQ(entry.ports[1].Channel, 1);
    EXPECT_EQ(entry.ports[0].BaseIO, 0x2A0);
    EXPECT_EQ(entry.ports[1].BaseIO, 0x2A0);
    EXPECT_EQ(entry.ports[1].Card, kBirch);
    EXPECT_TRUE(user.shown.empty());
}

TEST(AddDriver, FendarHoldsOnePortOnWindows9x) {
    ConfigModel model;
    model.platform_win9x = true;
    RecordingUserMessages user;
    ASSERT_TRUE(AddDriver(model, kFendar5, 0x238, kHazel, user, nullptr));
    EXPECT_EQ(model.driver(0).max_ports, 1);
}

TEST(AddDriver, NutmegTakesThePcCardResourcesWhenFound) {
    ConfigModel model;
    RecordingUserMessages user;
    ASSERT_TRUE(AddDriver(model, kHestabe5, 0x238, kNutmeg, user, Found(0x3E0, 11)));
    const PortEntry& port = model.port(0, 0);
    EXPECT_EQ(port.BaseIO, 0x3E0);
    EXPECT_EQ(port.Interrupt, 11);
    EXPECT_EQ(port.Mode, kModeInterrupt);
    EXPECT_EQ(port.Interface, 1);
    ASSERT_EQ(user.shown.size(), 1u);
    EXPECT_EQ(user.shown[0].text, "Found PCMCIA Card configured at Interrupt=11");

    ConfigModel without;
    ASSERT_TRUE(
        AddDriver(without, kHestabe5, 0x238, kNutmeg, user, [] { return PcmciaResources{}; }));
    EXPECT_EQ(without.port(0, 0).BaseIO, 0x238);
    EXPECT_EQ(without.port(0, 0).Interrupt, 5);
}

TEST(AddCard, NewPortsFollowTheFirstCardAndAreSelected) {
    ConfigModel model;
    RecordingUserMessages user;
    ASSERT_TRUE(AddDriver(model, kHestabe5, 0x238, kHazel, user, nullptr));
    model.port(0, 0).Oscillator = "18.43200";
    model.port(0, 0).Interrupt = 10;
    ASSERT_TRUE(AddCard(model, 0x300, kSpruce, user, nullptr));
    const PortEntry& port = model.port(0, 2);
    EXPECT_EQ(model.driver(0).port_count, 3);
    EXPECT_EQ(model.selected_port, 2);
    EXPECT_EQ(port.name, "Port003");
    EXPECT_EQ(port.Oscillator, "18.43200");
    EXPECT_EQ(port.Interrupt, 10);
    EXPECT_EQ(port.BaseIO, 0x300);
    EXPECT_EQ(port.Channel, 0);
    EXPECT_EQ(port.Mode, kModeInterrupt);
    EXPECT_EQ(port.Interface, 1);

    // Three of four ports are in use: no more cards.
    EXPECT_FALSE(AddCard(model, 0x310, kAlder, user, nullptr));
    EXPECT_EQ(model.driver(0).port_count, 3);
    EXPECT_EQ(user.shown.back().text,
              "Cannot define any more ports for the SCC Asynchronous driver.");
    EXPECT_EQ(user.shown.back().caption, "Error");
    EXPECT_EQ(user.shown.back().icon, ui::MessageIcon::Stop);
}

TEST(AddCard, NutmegCardMessageAndFallbackInterrupt) {
    ConfigModel model;
    RecordingUserMessages user;
    ASSERT_TRUE(AddDriver(model, kHestabe5, 0x238, kAlder, user, nullptr));
    model.port(0, 0).Interrupt = 4;
    ASSERT_TRUE(AddCard(model, 0x300, kNutmeg, user, Found(0x2E0, 9)));
    EXPECT_EQ(user.shown.back().text, "PCMCIA Card configured at Interrupt=9");
    EXPECT_EQ(model.port(0, 1).BaseIO, 0x2E0);
    ASSERT_TRUE(AddCard(model, 0x340, kNutmeg, user, [] { return PcmciaResources{}; }));
    EXPECT_EQ(model.port(0, 2).BaseIO, 0x340);
    EXPECT_EQ(model.port(0, 2).Interrupt, 4);
}

TEST(RemoveCard, LaterPortsMoveDownAndAreRenamed) {
    ConfigModel model;
    RecordingUserMessages user;
    ASSERT_TRUE(AddDriver(model, kHestabe5, 0x238, kHazel, user, nullptr));
    ASSERT_TRUE(AddCard(model, 0x300, kCedar, user, nullptr));
    model.port(0, 2).Divisor = 77;
    model.selected_port = 1;  // second port of the first card
    ASSERT_TRUE(RemoveCard(model, user));
    const DriverEntry& entry = model.driver(0);
    ASSERT_EQ(entry.port_count, 2);
    EXPECT_EQ(entry.ports[0].name, "Port001");
    EXPECT_EQ(entry.ports[0].BaseIO, 0x300);
    EXPECT_EQ(entry.ports[0].Divisor, 77);
    EXPECT_EQ(entry.ports[1].name, "Port002");
    EXPECT_EQ(entry.ports[1].Channel, 1);
    EXPECT_EQ(model.selected_port, 0);

    // The only card left cannot be removed.
    EXPECT_FALSE(RemoveCard(model, user));
    EXPECT_EQ(user.shown.back().text,
              "The SCC Asynchronous driver must have at least one card defined.");
    EXPECT_EQ(model.driver(0).port_count, 2);
}

TEST(RemoveCard, LastCardIsCutOff) {
    ConfigModel model;
    RecordingUserMessages user;
    ASSERT_TRUE(AddDriver(model, kHestabe5, 0x238, kAlder, user, nullptr));
    ASSERT_TRUE(AddCard(model, 0x300, kHazel, user, nullptr));
    model.selected_port = 2;
    ASSERT_TRUE(RemoveCard(model, user));
    EXPECT_EQ(model.driver(0).port_count, 1);
    EXPECT_EQ(model.port(0, 0).BaseIO, 0x238);
}

TEST(ModelEdits, MovesApplyToTheWholeCardOnly) {
    ConfigModel model;
    RecordingUserMessages user;
    ASSERT_TRUE(AddDriver(model, kHestabe5, 0x238, kHazel, user, nullptr));
    ASSERT_TRUE(AddCard(model, 0x300, kAlder, user, nullptr));
    model.selected_port = 1;
    MoveCardInterrupt(model, 12);
    MoveCardBase(model, 0x280, 0x238);
    EXPECT_EQ(model.port(0, 0).Interrupt, 12);
    EXPECT_EQ(model.port(0, 1).Interrupt, 12);
    EXPECT_EQ(model.port(0, 2).Interrupt, 5);
    EXPECT_EQ(model.port(0, 0).BaseIO, 0x280);
    EXPECT_EQ(model.port(0, 1).BaseIO, 0x280);
    EXPECT_EQ(model.port(0, 2).BaseIO, 0x300);
}

TEST(ModelEdits, RemoveDriverShiftsLaterDrivers) {
    ConfigModel model;
    RecordingUserMessages user;
    ASSERT_TRUE(AddDriver(model, kHestabe5, 0x238, kHazel, user, nullptr));
    ASSERT_TRUE(AddDriver(model, kFendar5, 0x300, kHazel, user, nullptr));
    ASSERT_TRUE(AddDriver(model, kWyvel32, 0x340, kPine, user, nullptr));
    model.selected_driver = 1;
    model.selected_port = 1;
    RemoveDriver(model);
    EXPECT_EQ(model.driver_count, 2);
    EXPECT_EQ(model.driver(1).name, "Wyvel32");
    EXPECT_EQ(model.selected_driver, 0);
    EXPECT_EQ(model.selected_port, 0);
}

TEST(PageEdits, ListAndEditTextsBecomeFieldValues) {
    ConfigModel model;
    RecordingUserMessages user;
    ASSERT_TRUE(AddDriver(model, kHestabe5, 0x238, kHazel, user, nullptr));
    model.selected_port = 1;
    ApplyClockModeText(model, "X64");
    EXPECT_EQ(model.port(0, 1).ClockX, 64);
    ApplyClockModeText(model, "X1");
    EXPECT_EQ(model.port(0, 1).ClockX, 1);
    ApplyDecimalText(model, &PortEntry::Divisor, "22 ");
    EXPECT_EQ(model.port(0, 1).Divisor, 22);
    ApplyDecimalText(model, &PortEntry::SyncNodeAddress, "x");
    EXPECT_EQ(model.port(0, 1).SyncNodeAddress, 0);
    SetPortEnabled(model, true);
    SetDriverEnabled(model, false);
    EXPECT_EQ(model.port(0, 1).Enabled, 1);
    EXPECT_EQ(model.port(0, 0).Enabled, 0);
    EXPECT_EQ(model.driver(0).Start, kStartDisabled);
}

}  // namespace
}  // namespace qorval::applet
