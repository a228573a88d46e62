#include "applet/config_log.h"

#include <gtest/gtest.h>

#include "applet/model_edits.h"
#include "applet/tests/temp_dir.h"
#include "platform/testing/recording_user_messages.h"

namespace qorval::applet {
namespace {

using testing::TempDir;
using ui::testing::RecordingUserMessages;

bool Has(const std::string& text, const std::string& part) {
    return text.find(part) != std::string::npos;
}

size_t Count(const std::string& text, const std::string& part) {
    size_t count = 0;
    for (size_t at = text.find(part); at != std::string::npos; at = text.find(part, at + 1)) {
        ++count;
    }
    return count;
}

// Hestabe5 with one two-channel Hazel card; Wyvel32 with two one-channel Pine cards.
ConfigModel TwoDrivers() {
    ConfigModel model;
    RecordingUserMessages user;
    EXPECT_TRUE(AddDriver(model, kHestabe5, 0x238, kHazel, user, nullptr));
    EXPECT_TRUE(AddDriver(model, kWyvel32, 0x300, kPine, user, nullptr));
    DriverEntry& wyvel = model.driver(1);
    wyvel.port_count = 2;
    ApplyNewPortDefaults(wyvel.ports[1], kWyvel32);
    wyvel.ports[1].name = "Port002";
    wyvel.ports[1].BaseIO = 0x310;
    return model;
}

TEST(ConfigLog, DriversInOrderWithSettingsThenJumpers) {
    const std::string log = ComposeConfigLog(TwoDrivers());
    EXPECT_EQ(
        log.rfind(
            "-- Configuration data for the Windows NT Qorval driver --\r\n\r\n"
            "SETTINGS FOR THE SCC Asynchronous DRIVER:\r\n\tPort001:\r\n\t\tCard:  Hazel\r\n"
            "\t\tBase IO:  238\r\n\t\tInterrupt:  5\r\n\t\tChannel:  A\r\n\t\tEnabled:  No\r\n"
            "\t\tTx DMA:  3\r\n\t\tRx DMA:  1\r\n\t\tMode:  Auto Init.\r\n",
            0),
        0u);
    EXPECT_EQ(Count(log, "-- Configuration data"), 1u);
    const size_t hestabe = log.find("SETTINGS FOR THE SCC Asynchronous DRIVER:");
    const size_t hazel = log.find("JUMPER SETTINGS FOR THE Hazel CARD (SCC Asynchronous):\r\n\r\n");
    const size_t wyvel = log.find("SETTINGS FOR THE 16C32 SDLC/HDLC DRIVER:");
    const size_t pine = log.find("JUMPER SETTINGS FOR THE Pine CARD (16C32 SDLC/HDLC):\r\n\r\n");
    EXPECT_LT(hestabe, hazel);
    EXPECT_LT(hazel, wyvel);
    EXPECT_LT(wyvel, pine);
    EXPECT_NE(pine, std::string::npos);
    // One heading for the two-channel card, one per one-channel card.
    EXPECT_EQ(Count(log, "JUMPER SETTINGS FOR THE Hazel CARD"), 1u);
    EXPECT_EQ(Count(log, "JUMPER SETTINGS FOR THE Pine CARD"), 2u);
    // Every line ends in CR LF.
    EXPECT_EQ(Count(log, "\n"), Count(log, "\r\n"));
}

TEST(ConfigLog, PortLinesNameEveryCode) {
    ConfigModel model;
    RecordingUserMessages user;
    ASSERT_TRUE(AddDriver(model, kGorlin5, 0x238, kMaple, user, nullptr));
    PortEntry& p = model.port(0, 0);
    p.TxDMA = kNotSet;
    p.Mode = 3;
    p.Parity = 2;
    p.Channel = kNotSet;
    p.TxClock = 7;
    p.Dpll = 129;
    p.IdleState = 4;
    p.CrcUsed = 5;
    p.DPLLSource = 128;
    p.CrcPreset = 1;
    const std::string log = ComposeConfigLog(model);
    for (const char* line : {
             "\t\tCard:  Maple\r\n",
             "\t\tTx DMA:  None\r\n",
             "\t\tRx DMA:  1\r\n",
             "\t\tMode:  Unknown (dwMode=3)\r\n",
             "\t\tParity:  Unknown (dwParity=2)\r\n",
             "\t\tChannel:  Unknown (dwChannel=4294967295)\r\n",
             "\t\tTx Clock:  Unknown (dwTxClock=7)\r\n",
             "\t\tRx Clock:  BRG\r\n",
             "\t\tDPLL Mode:  DiffBiPhaseLevel\r\n",
             "\t\tIdle State:  Mark/Space Alternating\r\n",
             "\t\tCRC Error Checking:  Unknown (dwCRCUsed=5)\r\n",
             "\t\tDPLL Source:  TRXC\r\n",
             "\t\tCRC Preset:  0\r\n",
             "\t\tClock Mode:  X16\r\n",
             "\t\tOscillator:  7.37280\r\n",
             "\t\tMemory:    FFFFFFFF\r\n",
             "\t\tTXCMode:   FFFFFFFF\r\n",
             "\t\tDPLLDivisor: FFFFFFFF\r\n",
             "\t\tProtocol:  FFFFFFFF\r\n",
             "\t\tInterface: FFFFFFFF\r\n\r\n",
             "\t\tSize of Tx Buffers:  2048 Bytes\r\n",
             "\t\tEnabled:  Yes\r\n",
             "\t\tRS-485 Mode:  Off\r\n",
         }) {
        EXPECT_TRUE(Has(log, line)) << line;
    }
    p.Card = 20;
    EXPECT_TRUE(Has(ComposeConfigLog(model), "\t\tCard:  Unknown (dwCard=20)\r\n"));
    model.platform_win9x = true;
    EXPECT_EQ(ComposeConfigLog(model).rfind(
                  "-- Configuration data for the Windows 95/98 Qorval driver --\r\n\r\n", 0),
              0u);
}

TEST(ConfigLog, TwoChannelCardWithoutItsSecondPortIsStillDrawn) {
    ConfigModel model;
    RecordingUserMessages user;
    ASSERT_TRUE(AddDriver(model, kHestabe5, 0x238, kHazel, user, nullptr));
    model.driver(0).port_count = 1;  // second port gone
    model.port(0, 1).TxDMA = 1;      // stale values beyond the count are not used
    const std::string text = ComposeDriverJumpers(model.driver(0));
    EXPECT_EQ(Count(text, "JUMPER SETTINGS FOR THE Hazel CARD"), 1u);
    EXPECT_FALSE(Has(text, "Invalid DMA"));
}

TEST(ConfigLog, FileIsReplacedOnEveryWrite) {
    TempDir dir;
    const auto file = dir.Write("QLConfig.LOG", std::string(100000, 'x'));
    const ConfigModel model = TwoDrivers();
    ASSERT_TRUE(WriteConfigLog(model, file));
    EXPECT_EQ(TempDir::Read(file), ComposeConfigLog(model));
    // A missing drive folder is made (a fresh prefix has none); a file in its way fails.
    EXPECT_TRUE(WriteConfigLog(model, dir.path() / "drive_c" / "QLConfig.LOG"));
    EXPECT_FALSE(WriteConfigLog(model, file / "QLConfig.LOG"));
    EXPECT_EQ(ComposeJumperPage(model),
              ComposeDriverJumpers(model.driver(0)) + ComposeDriverJumpers(model.driver(1)));
}

}  // namespace
}  // namespace qorval::applet
