// The road of a value from the configuration tool to a port, through the real programs: the
// driver host `wyvel32 run` in a temporary prefix, the tool's `qorval set`, `show` and `apply`
// (and its engine, where the window asks a question), and the port opened through libqorval32,
// whose PortInfo and PortState say what the port runs with. Both orders: configuring while the
// host runs, and before it starts.
#include <gtest/gtest.h>

#include <fstream>
#include <memory>
#include <sstream>

#include "applet/config_store.h"
#include "applet/model_edits.h"
#include "applet/tests/program_runs.h"
#include "host/tests/host_fixture.h"
#include "platform/paths.h"
#include "platform/registry.h"
#include "platform/testing/recording_user_messages.h"
#include "portaccess/qorval32.h"

namespace qorval::applet {
namespace {

using host::testing::LibraryPort;
using host::testing::TemporaryPrefix;
using journeys::ChildProcess;
using testing::ProgramRun;

constexpr uint16_t kWyvel = QORVAL_DRIVER_WYVEL32;

std::string ReadFile(const std::filesystem::path& path) {
    std::ifstream in(path, std::ios::binary);
    std::ostringstream text;
    text << in.rdbuf();
    return text.str();
}

// What an open port says it runs with.
struct PortView {
    uint32_t open = ~0u;
    PortInfo info{};
    PortState state{};
};

PortView Look(uint16_t number) {
    PortView view;
    LibraryPort port(number);
    view.open = port.open_result();
    if (view.open == QORVAL_OK) {
        EXPECT_EQ(QORVAL_GetPortInfo(port.handle(), &view.info), QORVAL_OK);
        EXPECT_EQ(QORVAL_GetPortState(port.handle(), &view.state), QORVAL_OK);
    }
    return view;
}

class ConfigRoad : public ::testing::Test, protected testing::ProgramRuns {
  protected:
    // `wyvel32 run` with two ports wired to each other, once it serves them.
    std::unique_ptr<ChildProcess> StartHost() {
        auto host = ProgramRuns::StartHost();
        EXPECT_TRUE(Serving(*host)) << host->Describe();
        return host;
    }
    std::string RegistryBytes() const { return ReadFile(platform::RegistryFile()); }

    TemporaryPrefix prefix_;
};

TEST_F(ConfigRoad, ValuesSetWhileTheHostRunsReachThePortAfterApply) {
    auto host = StartHost();
    const ProgramRun set =
        Qorval({"set", "Wyvel32", "1", "Divisor=62", "TxBuffSize=1400", "SyncNodeAddress=5",
                "Dpll=NRZI", "CrcUsed=16 bit", "Interface=V.35"});
    ASSERT_EQ(set.status, 0) << set.err;
    EXPECT_EQ(set.err, "");

    const ProgramRun shown = Qorval({"show", "Wyvel32", "1"});
    ASSERT_EQ(shown.status, 0) << shown.err;
    EXPECT_TRUE(shown.out.starts_with("BaseIO=0x")) << shown.out;
    for (const char* line : {"\nDivisor=62\n", "\nTxBuffSize=1400\n", "\nSyncNodeAddress=5\n",
                             "\nDpll=2\n", "\nCrcUsed=2\n", "\nInterface=4\n"}) {
        EXPECT_NE(shown.out.find(line), std::string::npos) << line << shown.out;
    }

    const ProgramRun apply = Qorval({"apply"});
    ASSERT_EQ(apply.status, 0) << apply.err;
    EXPECT_EQ(apply.out, "The driver host restarted port 1, 2 with the new settings.\n");

    LibraryPort port(1);
    ASSERT_EQ(port.open_result(), QORVAL_OK);
    PortInfo info{};
    PortState state{};
    ASSERT_EQ(QORVAL_GetPortInfo(port.handle(), &info), QORVAL_OK);
    ASSERT_EQ(QORVAL_GetPortState(port.handle(), &state), QORVAL_OK);
    EXPECT_EQ(info.maxTxFrame, 1400);
    EXPECT_EQ(info.nodeAddress, 5);
    EXPECT_EQ(info.interfaceType, 4);
    EXPECT_EQ(state.divisor, 62);
    EXPECT_EQ(state.nodeAddress, 5);
    EXPECT_EQ(state.dpll, 2);
    const std::vector<uint8_t> frame(1400, 0x5A);
    EXPECT_EQ(QORVAL_PutData(port.handle(), frame.data(), 1400), QORVAL_OK);
    // The other port was restarted too and kept its own values.
    EXPECT_EQ(Look(2).state.divisor, 126);
}

TEST_F(ConfigRoad, BeforeTheFirstStartTheUserIsToldAndLaterValuesReachThePort) {
    // No host has made the 16C32 ports yet: the command line has nothing to set.
    const ProgramRun none = Qorval({"set", "Wyvel32", "1", "Divisor=62"});
    EXPECT_EQ(none.status, 1);
    EXPECT_EQ(none.err,
              "qorval set: nothing was saved: no driver Wyvel32 is configured; the 16C32 ports "
              "appear once the driver host has started them (wyvel32 run)\n");
    EXPECT_FALSE(std::filesystem::exists(platform::RegistryFile()));

    // The window's way: a 16C32 driver added by hand is asked about before anything is written.
    ConfigStore store(StoreKind::Registry, DefaultStorePaths());
    ConfigModel model;
    ASSERT_EQ(store.Load(model), "");
    ui::testing::RecordingUserMessages add;
    ASSERT_TRUE(AddDriver(model, kWyvel32, 0x300, kPine, add, nullptr));
    model.port(0, 0).Divisor = 62;
    ui::testing::RecordingUserMessages no({ui::MessageAnswer::No});
    EXPECT_FALSE(CommitConfig(model, store, no).proceed);
    ASSERT_EQ(no.shown.size(), 1u);
    EXPECT_EQ(no.shown[0].caption, "Settings Will Not Reach The Port");
    EXPECT_FALSE(std::filesystem::exists(platform::RegistryFile()));

    // The host starts on its own defaults, as the user was told.
    auto host = StartHost();
    EXPECT_EQ(Look(1).state.divisor, 126);
    EXPECT_EQ(Terminate(*host), 0);

    // Now the ports exist: values set while the host is down are there when it starts again.
    const ProgramRun set = Qorval({"set", "Wyvel32", "1", "Divisor=62", "SyncNodeAddress=5"});
    ASSERT_EQ(set.status, 0) << set.err;
    const ProgramRun apply = Qorval({"apply"});
    EXPECT_EQ(apply.status, 0);
    EXPECT_EQ(apply.out,
              "No driver host is running, so no port needs restarting.\nThe new settings take "
              "effect when it is started (wyvel32 run).\n");
    host = StartHost();
    const PortView port = Look(1);
    ASSERT_EQ(port.open, QORVAL_OK);
    EXPECT_EQ(port.state.divisor, 62);
    EXPECT_EQ(port.info.nodeAddress, 5);
}

TEST_F(ConfigRoad, ValuesTheDriverRefusesAreNotStoredAndAPortAFailureStoppedStartsAgain) {
    auto host = StartHost();
    const std::string before = RegistryBytes();
    for (const auto& [value, reason] :
         {std::pair{"SyncNodeAddress=300", "SyncNodeAddress is 300; the driver accepts 0 to 255"},
          std::pair{"Divisor=70000", "Divisor is 70000; the driver accepts 0 to 65535"}}) {
        const ProgramRun set = Qorval({"set", "Wyvel32", "2", value});
        EXPECT_EQ(set.status, 1) << value;
        EXPECT_NE(set.err.find("Port002: " + std::string(reason)), std::string::npos) << set.err;
        EXPECT_EQ(RegistryBytes(), before);
    }

    // A value put in the file by hand, which the driver refuses when the port starts.
    {
        platform::Registry registry(platform::RegistryFile());
        ASSERT_TRUE(
            registry
                .SetDword("SYSTEM\\CurrentControlSet\\Services\\Wyvel32\\Parameters\\Port001",
                          "SyncNodeAddress", 300)
                .ok());
    }
    const ProgramRun failed = Qorval({"apply"});
    EXPECT_EQ(failed.status, 1);
    EXPECT_EQ(failed.err,
              "The driver host could not start every port with the new settings:\n\n"
              "Port 1: not started: start failed with status 0xC0000001; the driver logged event "
              "0xE007000C \"SyncNodeAddress\": Registry value SyncNodeAddress is out of range.\n"
              "Port 2: restarted with the new settings.\n");
    EXPECT_NE(Wyvel32({"status"}).out.find("port 1 stopped"), std::string::npos);

    // Corrected with the tool, the stopped port is started again by the next apply.
    const ProgramRun fixed = Qorval({"set", "Wyvel32", "1", "SyncNodeAddress=7"});
    ASSERT_EQ(fixed.status, 0) << fixed.err;
    const ProgramRun apply = Qorval({"apply"});
    EXPECT_EQ(apply.status, 0) << apply.err;
    EXPECT_EQ(apply.out, "The driver host restarted port 1, 2 with the new settings.\n");
    EXPECT_EQ(Look(1).info.nodeAddress, 7);
}

TEST_F(ConfigRoad, ADisabledDriverIsNotStartedAndStatusSaysWhy) {
    auto host = StartHost();
    ASSERT_EQ(Look(1).open, QORVAL_OK);
    const ProgramRun disable = Qorval({"set", "Wyvel32", "Start=4"});
    ASSERT_EQ(disable.status, 0) << disable.err;
    const ProgramRun apply = Qorval({"apply"});
    EXPECT_EQ(apply.status, 0) << apply.err;
    EXPECT_EQ(apply.out,
              "The driver host applied the new settings:\n\n"
              "Port 1: not started: the Wyvel32 driver is disabled (Start is 4 in its service "
              "key).\nPort 2: not started: the Wyvel32 driver is disabled (Start is 4 in its "
              "service key).\n");
    EXPECT_NE(Look(1).open, QORVAL_OK);
    const ProgramRun status = Wyvel32({"status"});
    EXPECT_EQ(status.status, 0);
    EXPECT_NE(status.out.find("port 1 disabled"), std::string::npos) << status.out;
    EXPECT_NE(status.out.find("ports shown disabled are not started: the Wyvel32 driver is "
                              "disabled (Start is 4 in its service key)"),
              std::string::npos)
        << status.out;

    // A host started on a disabled driver leaves its ports alone and says so.
    EXPECT_EQ(Terminate(*host), 0);
    host = StartHost();
    EXPECT_NE(Look(1).open, QORVAL_OK);
    EXPECT_EQ(Wyvel32({"start", "1"}).status, 1);

    const ProgramRun enable = Qorval({"set", "Wyvel32", "Start=3"});
    ASSERT_EQ(enable.status, 0) << enable.err;
    EXPECT_EQ(Qorval({"apply"}).status, 0);
    EXPECT_EQ(Look(1).open, QORVAL_OK);
}

}  // namespace
}  // namespace qorval::applet
