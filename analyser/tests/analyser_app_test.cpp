// Start-up, settings, shut-down and Select Driver/Port.
#include <gtest/gtest.h>

#include "analyser/port_lists.h"
#include "analyser/shell_info.h"
#include "analyser/tests/engine_fixture.h"
#include "platform/profile.h"
#include "platform/registry.h"

namespace qorval::analyser::testing {
namespace {

using AnalyserAppTest = EngineTest;

TEST_F(AnalyserAppTest, StartupEndsWithoutDriverInformationOrDrivers) {
    Fake().FailNext("QORVAL_GetSystemInfo", QORVAL_GENERAL_ERROR);
    EXPECT_FALSE(app_->Startup());
    EXPECT_EQ(ui_.LastMessage(), "Could not retrieve driver information, Exiting application!");

    Fake().Reset();
    EXPECT_FALSE(app_->Startup());
    EXPECT_EQ(ui_.LastMessage(), "No drivers detected, Exiting application!");
}

TEST_F(AnalyserAppTest, ProfileWithoutParmsGivesTheDefaults) {
    WriteFile("lombex32.ini", "[Other]\nNODE=5\n");
    ASSERT_TRUE(app_->Startup());
    EXPECT_EQ(app_->Parms(), ParmsSettings{});
    EXPECT_EQ(app_->Parms().logFile, "logfile.txt");
    EXPECT_EQ(app_->Parms().macroFile, "macfile.txt");
    EXPECT_EQ(app_->Parms().sendFile, "sendfile.txt");
    EXPECT_EQ(app_->View(), ViewSettings{});
    EXPECT_EQ(app_->View().header, "File: &f");
    EXPECT_EQ(app_->View().footer, "Page: &p");
    EXPECT_EQ(app_->View().tabStops, 32);
}

TEST_F(AnalyserAppTest, SettingsAreReadAndTheParmsAlwaysWrittenAtExit) {
    WriteFile("lombex32.ini",
              "[PARMS]\nNODE=300\nDISPLAY=5\nLOGFILE=a.log\nSENDFIRST=7\nRAWLOGGING=-1\n"
              "[Font]\nHeight=0\nFaceName=Courier\n[PrintFont]\nHeight=-12\nWeight=700\n"
              "FaceName=ABCDEFGHIJKLMNOPQRSTUVWXYZ0123456789\n");
    ASSERT_TRUE(app_->Startup());
    EXPECT_EQ(app_->Parms().node, 300 & 0xFF);
    EXPECT_EQ(app_->Parms().display, 5);
    EXPECT_EQ(ui_.menu.displayFormat, 5);  // no format marked
    EXPECT_TRUE(app_->Parms().sendFirst);
    EXPECT_TRUE(app_->Parms().rawLogging);
    EXPECT_EQ(app_->View().font.faceName, "System");  // no height: the rest is not read
    EXPECT_EQ(app_->View().printFont.weight, 700);
    EXPECT_EQ(app_->View().printFont.faceName, "ABCDEFGHIJKLMNOPQRSTUVWXYZ01234");

    app_->View().tabStops = 40;
    app_->Shutdown();
    platform::ProfileFile profile(dir_ / "lombex32.ini");
    EXPECT_EQ(profile.GetInt("PARMS", "NODE", -1), 44);
    EXPECT_EQ(profile.GetInt("PARMS", "SENDFIRST", -1), 1);
    EXPECT_EQ(profile.GetInt("PARMS", "RAWLOGGING", -1), 1);
    EXPECT_EQ(profile.GetString("PARMS", "MACFILE", ""), "macfile.txt");
    EXPECT_EQ(profile.GetInt("Settings", "TabStops", -1), 40);
    // Unchanged view settings are not written.
    EXPECT_FALSE(profile.HasKey("Settings", "WordWrap"));
    EXPECT_FALSE(profile.HasKey("PageSetup", "Header"));
    EXPECT_FALSE(profile.HasKey("PrintFont", "Italic"));
}

TEST_F(AnalyserAppTest, AFaceNameIsCutTo31BytesBetweenCharacters) {
    // 16 two-byte letters: the 31st byte would be the first half of the 16th.
    std::string face;
    for (int i = 0; i < 16; ++i) {
        face += "\xC3\x89";
    }
    WriteFile("lombex32.ini", "[Font]\nHeight=-16\nFaceName=" + face + "\n");
    ASSERT_TRUE(app_->Startup());
    EXPECT_EQ(app_->View().font.faceName, face.substr(0, 30));
}

TEST_F(AnalyserAppTest, SelectDriverPortOpensThePortAndSizesTheBuffers) {
    ASSERT_TRUE(app_->Startup());
    ui_.choice.reset();  // Cancel changes nothing
    EXPECT_FALSE(app_->SelectDriverPort());
    EXPECT_EQ(app_->PortHandle(), 0u);

    ui_.choice = PortChoice{kDriver, 1};
    ASSERT_TRUE(app_->SelectDriverPort());
    const QORVAL_HANDLE first = app_->PortHandle();
    EXPECT_NE(first, 0u);
    // Reselecting the same port closes it first, then opens it again.
    ASSERT_TRUE(app_->SelectDriverPort());
    EXPECT_TRUE(app_->PortSelected());
    EXPECT_EQ(app_->GetPortInfoRecord().maxTxFrame, 1024);
}

TEST_F(AnalyserAppTest, SelectDriverPortFailures) {
    ASSERT_TRUE(app_->Startup());
    Fake().FailNext("QORVAL_GetSystemInfo", QORVAL_GENERAL_ERROR);
    EXPECT_FALSE(app_->SelectDriverPort());
    EXPECT_EQ(ui_.LastMessage(), "Could not retrieve driver information!");
    EXPECT_EQ(ui_.dialogsShown, 0);

    ui_.choice = PortChoice{kDriver, 9};
    EXPECT_FALSE(app_->SelectDriverPort());
    EXPECT_EQ(ui_.LastMessage(), "Could not open driver port!\nStatus = 0000000A");

    // A port that opened but could not describe itself is closed again, so it can be opened
    // by the next selection.
    ui_.choice = PortChoice{kDriver, 1};
    Fake().FailNext("QORVAL_GetPortInfo", QORVAL_GENERAL_ERROR);
    EXPECT_FALSE(app_->SelectDriverPort());
    EXPECT_EQ(ui_.LastMessage(), "Could not retrieve device info!");
    EXPECT_EQ(app_->PortHandle(), 0u);
    EXPECT_TRUE(app_->SelectDriverPort());
}

TEST_F(AnalyserAppTest, FailedReselectionWhileCapturingStopsPolling) {
    OpenPort();
    StartCapture();
    ui_.choice = PortChoice{kDriver, 9};
    EXPECT_FALSE(app_->SelectDriverPort());
    Queue("x");
    app_->PollStep();  // no port and no buffers: nothing is read
    EXPECT_EQ(app_->FramesShown(), 0u);
}

TEST_F(AnalyserAppTest, ShutdownClosesThePort) {
    OpenPort();
    app_->Shutdown(false);
    QORVAL_HANDLE handle = 0;
    EXPECT_EQ(QORVAL_PortOpen(kDriver, 1, &handle), QORVAL_OK);
    EXPECT_FALSE(std::filesystem::exists(dir_ / "lombex32.ini"));
}

SystemInfo MakeInfo() {
    SystemInfo info{};
    info.driverCount = 4;
    auto driver = [&](int index, uint16_t type, const char* name,
                      std::initializer_list<int> ports) {
        SystemInfoDriver& d = info.drivers[index];
        d.driverType = type;
        std::snprintf(d.name, sizeof d.name, "%s", name);
        d.present = 1;
        d.portCount = 4;
        for (int port : ports) {
            d.ports[port - 1].present = 1;
            std::snprintf(d.ports[port - 1].name, sizeof d.ports[0].name, "Port%03d", port);
        }
    };
    driver(0, 1, "FENDAR5", {1});
    driver(2, 9, "ODD", {2, 4});
    driver(3, 3, "WYVEL32", {1, 3});
    return info;
}

TEST(PortLists, PresentDriversAndPortsWithTheLastOnePreselected) {
    const SystemInfo info = MakeInfo();
    const auto drivers = DriverListEntries(info);
    ASSERT_EQ(drivers.size(), 3u);
    EXPECT_EQ(drivers[0].text, "FENDAR5 - FENDAR5");
    EXPECT_EQ(drivers[1].text, "UNKNOWN - ODD");
    EXPECT_EQ(drivers[2].text, "WYVEL32 - WYVEL32");
    const auto ports = PortListEntries(info, drivers.back().value);
    ASSERT_EQ(ports.size(), 2u);
    EXPECT_EQ(ports[0].text, "1 - Port001");
    EXPECT_EQ(ports[1].text, "3 - Port003");
    EXPECT_EQ(ports[1].value, 3);
    EXPECT_EQ(DriverTypeName(4), "LAST");
    EXPECT_EQ(PresentDriverCount(info), 3);
}

TEST(PortLists, CountsBeyondTheRecordAreIgnored) {
    SystemInfo info = MakeInfo();
    info.driverCount = 1000;
    info.drivers[3].portCount = 1000;
    EXPECT_EQ(DriverListEntries(info).size(), 3u);
    EXPECT_EQ(PortListEntries(info, 3).size(), 2u);
    EXPECT_TRUE(PortListEntries(info, 7).empty());
}

TEST(WindowPos, ExactlyTenNumbersArePlacement) {
    const auto placement = ParseWindowPos("2,3,-1,-1,-8,-8,10,20,610,420");
    ASSERT_TRUE(placement.has_value());
    EXPECT_EQ(placement->values[8], 610);
    EXPECT_EQ(FormatWindowPos(*placement), "2,3,-1,-1,-8,-8,10,20,610,420");
    EXPECT_FALSE(ParseWindowPos("2,3,-1,-1,-8,-8,10,20,610").has_value());
    EXPECT_FALSE(ParseWindowPos("2,3,-1,-1,-8,-8,10,20,610,420,5").has_value());
    EXPECT_FALSE(ParseWindowPos("2,3,x,-1,-8,-8,10,20,610,420").has_value());
}

TEST(WindowPos, ShowCommandAndSavedFlags) {
    const auto saved = ParseWindowPos("0,3,-1,-1,-8,-8,10,20,610,420");
    EXPECT_EQ(InitialShowCommand(saved, kShowNormal), 3);  // the saved one
    EXPECT_EQ(InitialShowCommand(saved, 7), 7);            // the command line's
    EXPECT_EQ(InitialShowCommand(std::nullopt, kShowNormal), kShowNormal);
    EXPECT_EQ(PlacementToSave(*saved, true).values[0], kRestoreToMaximized);
    EXPECT_EQ(PlacementToSave(*ParseWindowPos("2,1,0,0,0,0,0,0,1,1"), false).values[0], 0);
}

TEST(AboutBox, SystemLines) {
    EXPECT_EQ(FormatMemoryLine(64 * 1024 * 1024 + 1023), "65536 KB");
    EXPECT_EQ(FormatDiskLine(2048), "2 KB Free");
    EXPECT_EQ(FormatDiskLine(std::nullopt), "Unavailable");
    platform::Registry registry;
    EXPECT_EQ(ReadAboutLines(registry, "/", "/nonexistent-cpuinfo").coprocessor, "Not present");
    // The processor's own description names its floating point unit (x86 and Arm forms).
    EXPECT_EQ(ReadAboutLines(registry, "/").coprocessor, "Present");
    EXPECT_TRUE(CpuInfoShowsFloatingPointUnit("processor\t: 0\nflags\t\t: fpu vme de pse\n"));
    EXPECT_TRUE(CpuInfoShowsFloatingPointUnit("Features\t: fp asimd evtstrm\n"));
    EXPECT_FALSE(CpuInfoShowsFloatingPointUnit("flags\t\t: vme fpu_exception\nfpu\t\t: yes\n"));
    ASSERT_TRUE(registry.CreateKey("HARDWARE\\DESCRIPTION\\System\\FloatingPointProcessor").ok());
    const AboutLines lines = ReadAboutLines(registry, "/nonexistent-drive-c", "/nonexistent");
    EXPECT_EQ(lines.coprocessor, "Present");
    EXPECT_EQ(lines.disk, "Unavailable");
    EXPECT_NE(lines.memory, "0 KB");
}

TEST(Splash, GoesAtTheFirstIdleMomentAfterFiveSeconds) {
    const SplashTimer splash(0xFFFFF000u);  // across the wrap of the tick count
    EXPECT_FALSE(splash.ExpiredAt(0xFFFFF000u + 5000));
    EXPECT_TRUE(splash.ExpiredAt(0xFFFFF000u + 5001));
}

}  // namespace
}  // namespace qorval::analyser::testing
