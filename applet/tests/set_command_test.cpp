// `qorval set` and `qorval show` as programs: every refused value is named with its reason, a
// question the window would ask is refused unless --yes answers it, and whatever is refused
// leaves the store byte for byte as it was.
#include <gtest/gtest.h>

#include <fstream>
#include <sstream>

#include "applet/config_store.h"
#include "applet/model_edits.h"
#include "applet/tests/host_made_ports.h"
#include "applet/tests/program_runs.h"
#include "host/tests/host_fixture.h"
#include "platform/paths.h"
#include "platform/testing/recording_user_messages.h"

namespace qorval::applet {
namespace {

using host::testing::TemporaryPrefix;
using testing::ProgramRun;

std::string RegistryBytes() {
    std::ifstream in(platform::RegistryFile(), std::ios::binary);
    std::ostringstream text;
    text << in.rdbuf();
    return text.str();
}

// Two SCC drivers on cards of their own, and the two 16C32 ports a driver host made.
class SetCommand : public ::testing::Test, protected testing::ProgramRuns {
  protected:
    void SetUp() override {
        ConfigModel model;
        ui::testing::RecordingUserMessages add;
        ASSERT_TRUE(AddDriver(model, kHestabe5, 0x238, kHazel, add, nullptr));
        ASSERT_TRUE(AddDriver(model, kFendar5, 0x280, kHazel, add, nullptr));
        for (int d = 0; d < 2; ++d) {
            PortEntry& port = model.port(d, 0);
            port.Enabled = 1;
            port.Interrupt = d == 0 ? 5 : 7;
            port.Mode = kModeInterrupt;
            port.TxDMA = port.RxDMA = kNotSet;
        }
        model.port(1, 0).Mode = kModeHalfDuplex;  // Fendar5 takes no interrupt mode
        model.port(1, 0).TxDMA = model.port(1, 0).RxDMA = 1;
        for (PortEntry& port : model.driver(0).ports) {
            port.Divisor = 22;  // 9600 bits per second and the timeouts it recommends
            port.RxTimeout = port.TxTimeout = 250000;
        }
        ASSERT_EQ(StoreConfig(model, StoreKind::Registry, DefaultStorePaths()), "");
        testing::HostMadePorts(platform::RegistryFile(), 2);
        before_ = RegistryBytes();
    }

    // Runs `qorval set` and expects it refused with `reasons` named and the store untouched.
    void ExpectRefused(const std::vector<std::string>& args,
                       const std::vector<std::string>& reasons) {
        std::vector<std::string> command{"set"};
        command.insert(command.end(), args.begin(), args.end());
        const ProgramRun run = Qorval(command);
        EXPECT_EQ(run.status, 1) << run.err;
        for (const std::string& reason : reasons) {
            EXPECT_NE(run.err.find(reason), std::string::npos) << reason << "\n" << run.err;
        }
        EXPECT_EQ(RegistryBytes(), before_);
    }

    TemporaryPrefix prefix_;
    std::string before_;
};

TEST_F(SetCommand, EachClassOfBadValueIsRefusedByNameAndNothingIsWritten) {
    // Outside what the driver takes.
    ExpectRefused({"Wyvel32", "1", "Divisor=70000"},
                  {"Port001: Divisor is 70000; the driver accepts 0 to 65535."});
    ExpectRefused({"Wyvel32", "1", "TxBuffSize=2600"},
                  {"TxBuffSize=2600: Requested memory exceeds available on-board memory!"});
    // Not a value of the value's kind; every refused value of one command is named at once.
    ExpectRefused({"Wyvel32", "1", "Divisor=abc", "SyncNodeAddress=5", "Interface=V.99"},
                  {"  Divisor=abc: it takes a whole number\n",
                   "  Interface=V.99: it takes one of: EIA-530, EIA-530A, RS-232, V.35, "
                   "RS485-TERM, RS485-NOTERM\n"});
    ExpectRefused({"Wyvel32", "1", "Nonsense=1"},
                  {"Nonsense=1: no value of this name is stored for a port"});
    // In conflict with another port.
    ExpectRefused({"Hestabe5", "1", "BaseIO=0x280"},
                  {"BaseIO=0x280: IO Address 280 is in use by Port001 on the SCC SDLC/HDLC "
                   "driver."});
    ExpectRefused({"Hestabe5", "1", "Interrupt=7"},
                  {"Interrupt=7: Interrupt 7 is in use by Port001 on the SCC SDLC/HDLC driver."});
    // What the window does not let change for this port.
    ExpectRefused({"Wyvel32", "1", "BaseIO=0x300"},
                  {"BaseIO=0x300: the configuration window does not let it change"});
    ExpectRefused({"Wyvel32", "1", "Card=12"},
                  {"Card=12: the configuration window does not change it"});
}

TEST_F(SetCommand, AQuestionTheWindowWouldAskIsRefusedUnlessYesAnswersIt) {
    // 57600 bits per second recommends other timeouts: the window would ask.
    ExpectRefused({"Hestabe5", "1", "Divisor=2"},
                  {"The recomended settings are:", "run again with --yes to answer Yes"});

    const ProgramRun yes = Qorval({"set", "Hestabe5", "1", "Divisor=2", "--yes"});
    ASSERT_EQ(yes.status, 0) << yes.err;
    const ProgramRun shown = Qorval({"show", "Hestabe5", "1"});
    EXPECT_NE(shown.out.find("\nDivisor=2\n"), std::string::npos) << shown.out;
    EXPECT_NE(shown.out.find("\nRxTimeout=44444\nTxTimeout=44444\n"), std::string::npos)
        << shown.out;
}

TEST_F(SetCommand, ShowPrintsTheStoredValuesInTheRegistrysOrder) {
    const ProgramRun port = Qorval({"show", "Fendar5", "Port001"});
    ASSERT_EQ(port.status, 0) << port.err;
    EXPECT_TRUE(
        port.out.starts_with("BaseIO=0x280\nChannel=A\nCard=5\nInterrupt=7\nTxDMA=1\n"
                             "RxDMA=1\nTxBuffSize=2048\n"))
        << port.out;
    EXPECT_NE(port.out.find("\nParity=None\n"), std::string::npos);
    EXPECT_TRUE(port.out.ends_with("\nDPLLDivisor=-1\n")) << port.out;

    const ProgramRun driver = Qorval({"show", "Wyvel32"});
    EXPECT_TRUE(driver.out.starts_with("Start=3\n")) << driver.out;
    EXPECT_NE(driver.out.find("\n[Port002]\nBaseIO=0x1020\n"), std::string::npos) << driver.out;

    const ProgramRun all = Qorval({"show"});
    EXPECT_TRUE(all.out.starts_with("[Hestabe5]\nStart=3\n")) << all.out;
    EXPECT_NE(all.out.find("\n[Wyvel32\\Port001]\n"), std::string::npos);

    const ProgramRun missing = Qorval({"show", "Gorlin5"});
    EXPECT_EQ(missing.status, 1);
    EXPECT_EQ(missing.err, "qorval show: no driver Gorlin5 is configured\n");
    EXPECT_EQ(RegistryBytes(), before_);
}

TEST(ConfigCommandLine, AStoreNameThatNamesNoStoreEndsTheToolWithItsMessage) {
    TemporaryPrefix prefix;
    testing::ProgramRuns runs;
    const ProgramRun run = runs.Qorval({"show"}, {{"QORVAL_STORE", "os2"}});
    EXPECT_EQ(run.status, 1);
    EXPECT_EQ(run.err, "Operating system not recognized!\n");
    EXPECT_EQ(runs.Qorval({"set", "Wyvel32"}).status, 2);
}

}  // namespace
}  // namespace qorval::applet
