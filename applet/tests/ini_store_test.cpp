#include "applet/ini_store.h"

#include <gtest/gtest.h>

#include "applet/model_edits.h"
#include "platform/profile_format.h"
#include "platform/testing/recording_user_messages.h"

namespace qorval::applet {
namespace {

using platform::ProfileDocument;
using ui::testing::RecordingUserMessages;

// A stored value as the profile functions return it, or "" when missing.
std::string Get(const ProfileDocument& ini, const char* section, const char* key) {
    return platform::UnquoteProfileValue(ini.Find(section, key).value_or(""));
}

constexpr const char* kBaseIni =
    "[boot]\r\nshell=Explorer.exe\r\n\r\n[386Enh]\r\ndevice=*vmm\r\nkeyboard=*vkd\r\n";

TEST(IniStore, SectionsNamedAfterDriversLoadWithTheirDeviceLine) {
    const ProfileDocument ini = ProfileDocument::Parse(
        "[386Enh]\r\ndevice=C:\\windows\\system32\\drivers\\FENDAR5.VXD\r\n"
        "[fendar5]\r\nCARD=Larch\r\nIRQ=7\r\n[Wyvel32]\r\nCARD=JuniperB\r\n"
        "[Unrelated]\r\nCARD=Elm\r\n");
    ConfigModel model;
    ASSERT_EQ(ReadIniConfig(model, ini), 2);
    const DriverEntry& fendar = model.driver(0);
    EXPECT_EQ(fendar.name, "Fendar5");
    EXPECT_EQ(fendar.description, "SCC SDLC/HDLC");
    EXPECT_EQ(fendar.Start, kStartEnabled);
    EXPECT_EQ(fendar.max_ports, 1);
    EXPECT_EQ(fendar.port_count, 1);
    EXPECT_EQ(fendar.ports[0].name, "Port001");
    EXPECT_EQ(fendar.ports[0].Card, kLarch);
    EXPECT_EQ(fendar.ports[0].Interrupt, 7);
    const DriverEntry& wyvel = model.driver(1);
    EXPECT_EQ(wyvel.description, "Wyvel32 - SDLC/HDLC");
    EXPECT_EQ(wyvel.Start, kStartDisabled);  // no device line
    EXPECT_EQ(wyvel.max_ports, 0);
    EXPECT_EQ(wyvel.ports[0].Card, kJuniper);
}

TEST(IniStore, MissingAndDamagedValuesTakeTheirDefaults) {
    const ProfileDocument ini =
        ProfileDocument::Parse("[Hestabe5]\r\nBase=zz\r\nIRQ=abc\r\nCARD=Nonesuch\r\n"
                               "Divisor=\r\nMode=HALF\r\nDPLL=bogus\r\n");
    ConfigModel model;
    ASSERT_EQ(ReadIniConfig(model, ini), 1);
    const PortEntry& p = model.driver(0).ports[0];
    EXPECT_EQ(p.BaseIO, 0x238);
    EXPECT_EQ(p.Interrupt, 5);
    EXPECT_EQ(p.Card, kHazel);
    EXPECT_EQ(p.Divisor, 0x7E);
    EXPECT_EQ(p.Mode, kModeHalfDuplex);
    EXPECT_EQ(p.Dpll, kDpllNrz);
    EXPECT_EQ(p.TxDMA, 3);
    EXPECT_EQ(p.RxDMA, 1);
    EXPECT_EQ(p.TxBuffers, 50);
    EXPECT_EQ(p.RxBuffers, 100);
    EXPECT_EQ(p.ClockX, 16);
    EXPECT_EQ(p.RxTimeout, 1000);
    EXPECT_EQ(p.Enabled, 1);
    EXPECT_EQ(p.CrcPreset, 2);
    EXPECT_EQ(p.CrcUsed, 2);
    EXPECT_EQ(p.DPLLSource, 16);
    EXPECT_EQ(p.Memory, 0xD0000);
    EXPECT_EQ(p.Channel, 0);
    EXPECT_EQ(p.Interface, kNotSet);
    EXPECT_EQ(p.DPLLDivisor, kNotSet);
}

TEST(IniStore, RoundTripKeepsTheStoredValues) {
    ConfigModel model;
    model.platform_win9x = true;
    RecordingUserMessages user;
    ASSERT_TRUE(AddDriver(model, kFendar5, 0x2B8, kJuniper, user, nullptr));
    PortEntry& p = model.port(0, 0);
    p.SyncNodeAddress = 0x1A;  // written "1A": must come back as 26
    p.UseNodeAddress = 1;
    p.RS_485 = 1;
    p.LoopBack = 1;
    p.TxClock = kClockTxc;
    p.RxClock = kClockDpll;
    p.Dpll = kDpllNrziMark;
    p.IdleState = 1;
    p.CrcPreset = 1;
    p.DPLLSource = 128;
    p.Divisor = 0x1F;
    p.Memory = 0xC8000;
    p.TxDMA = kNotSet;

    ProfileDocument ini = ProfileDocument::Parse(kBaseIni);
    EXPECT_EQ(WriteIniConfig(model, 1, ini), "");
    EXPECT_EQ(Get(ini, "Fendar5", "CARD"), "JuniperA");
    EXPECT_EQ(Get(ini, "Fendar5", "NodeAddress"), "1A");
    EXPECT_EQ(Get(ini, "Fendar5", "LogFile"), "c:\\fendar5.txt");

    ConfigModel read;
    ASSERT_EQ(ReadIniConfig(read, ini), 1);
    const PortEntry& r = read.driver(0).ports[0];
    EXPECT_EQ(read.driver(0).Start, kStartEnabled);
    EXPECT_EQ(r.Card, kJuniper);
    EXPECT_EQ(r.BaseIO, 0x2B8);
    EXPECT_EQ(r.SyncNodeAddress, 0x1A);
    EXPECT_EQ(r.UseNodeAddress, 1);
    EXPECT_EQ(r.RS_485, 1);
    EXPECT_EQ(r.LoopBack, 1);
    EXPECT_EQ(r.TxClock, kClockTxc);
    EXPECT_EQ(r.RxClock, kClockDpll);
    EXPECT_EQ(r.Dpll, kDpllNrziMark);
    EXPECT_EQ(r.IdleState, 1);
    EXPECT_EQ(r.CrcPreset, 1);
    EXPECT_EQ(r.DPLLSource, 128);
    EXPECT_EQ(r.Divisor, 0x1F);
    EXPECT_EQ(r.Memory, 0xC8000);
    EXPECT_EQ(r.TxDMA, kNotSet);
    EXPECT_EQ(r.Oscillator, p.Oscillator);
    EXPECT_EQ(r.TxBuffSize, p.TxBuffSize);
    EXPECT_EQ(r.RxBuffers, p.RxBuffers);
}

TEST(IniStore, DeviceLinesFollowTheDriversStartAndRemoval) {
    ProfileDocument ini = ProfileDocument::Parse(kBaseIni);
    ConfigModel model;
    model.platform_win9x = true;
    RecordingUserMessages user;
    ASSERT_TRUE(AddDriver(model, kFendar5, 0x238, kHazel, user, nullptr));
    ASSERT_TRUE(AddDriver(model, kHestabe5, 0x300, kHazel, user, nullptr));
    EXPECT_EQ(WriteIniConfig(model, 2, ini), "");
    EXPECT_TRUE(HasDeviceLine(ini, kFendar5));
    EXPECT_TRUE(HasDeviceLine(ini, kHestabe5));
    const auto lines = ini.SectionLines("386Enh");
    EXPECT_NE(
        std::find(lines.begin(), lines.end(), "device=C:\\windows\\system32\\drivers\\FENDAR5.VXD"),
        lines.end());
    EXPECT_NE(std::find(lines.begin(), lines.end(), "device=*vmm"), lines.end());

    // Writing again adds no second line.
    EXPECT_EQ(WriteIniConfig(model, 2, ini), "");
    EXPECT_EQ(ini.SectionLines("386Enh").size(), lines.size());

    model.driver(0).Start = kStartDisabled;
    model.driver_count = 1;  // Hestabe5 removed
    EXPECT_EQ(WriteIniConfig(model, 1, ini), "");
    EXPECT_FALSE(HasDeviceLine(ini, kFendar5));
    EXPECT_FALSE(HasDeviceLine(ini, kHestabe5));
    EXPECT_TRUE(ini.Find("Fendar5", "CARD").has_value());
    EXPECT_FALSE(ini.Find("Hestabe5", "CARD").has_value());
    EXPECT_EQ(Get(ini, "boot", "shell"), "Explorer.exe");
}

TEST(IniStore, OversizedDeviceSectionIsLeftUntouched) {
    std::string text = "[386Enh]\r\n";
    for (int i = 0; i < 60; ++i) {
        text += "device=C:\\windows\\system\\filler" + std::to_string(i) + ".386\r\n";
    }
    text += "device=C:\\windows\\system32\\drivers\\HESTABE5.VXD\r\n";
    ProfileDocument ini = ProfileDocument::Parse(text);
    const auto before = ini.SectionLines("386Enh");
    EXPECT_FALSE(HasDeviceLine(ini, kHestabe5));
    EXPECT_FALSE(SetDeviceLine(ini, kHestabe5, false));
    EXPECT_FALSE(SetDeviceLine(ini, kFendar5, true));
    EXPECT_EQ(ini.SectionLines("386Enh"), before);
}

}  // namespace
}  // namespace qorval::applet
