// The host and a registry it cannot use: a damaged file, a lock someone else holds, and the
// prefix it creates. Ports that cannot be configured stay stopped, and the administrator is
// told why, on standard error, in the event log and in the answers of the control commands.
#include <sys/stat.h>

#include <fstream>
#include <sstream>

#include "host/tests/host_fixture.h"
#include "platform/paths.h"
#include "platform/tests/damaged_registry.h"
#include "platform/tests/lock_holder_process.h"

namespace qorval::host::testing {
namespace {

using platform::testing::RegistryDamage;

std::string ReadText(const std::filesystem::path& file) {
    std::ifstream in(file, std::ios::binary);
    std::ostringstream out;
    out << in.rdbuf();
    return out.str();
}

mode_t ModeOf(const std::filesystem::path& path) {
    struct stat st {};
    EXPECT_EQ(::lstat(path.c_str(), &st), 0) << path;
    return st.st_mode & 07777;
}

class DamagedRegistry : public HostTest, public ::testing::WithParamInterface<RegistryDamage> {};

TEST_P(DamagedRegistry, PortsStayStoppedAndTheReasonIsShownAndLogged) {
    const auto file = platform::RegistryFile();
    const std::string bytes = GetParam().make(file);
    const std::string reason = file.string() + GetParam().reason;

    const std::string warnings = StartHost(PairAtUnlimitedRate(1));
    EXPECT_NE(warnings.find("slot 1: start failed with status 0xC0000001\n"), std::string::npos)
        << warnings;
    EXPECT_NE(warnings.find("wyvel32: the configuration cannot be used: " + reason +
                            "; the port stays stopped; once that is put right, `wyvel32 start N` "
                            "starts it\n"),
              std::string::npos)
        << warnings;
    const std::string logged = ReadText(platform::LogDir() / "wyvel32.log");
    EXPECT_NE(logged.find("\"Wyvel32\" event 0xE0070003 unique 1 major 0x00 status 0x00000000 "
                          "ioctl 0x00000000 strings \"" +
                          reason + "\""),
              std::string::npos)
        << logged;
    if (!bytes.empty()) {
        EXPECT_EQ(ReadText(file), bytes);  // nothing rewrote the damaged file
    }

    // A start while the file is still damaged says why in its answer.
    const std::string refused = ControlCommand("start 1");
    EXPECT_EQ(refused.rfind("error: ", 0), 0u) << refused;
    EXPECT_NE(refused.find("(the configuration cannot be used: " + reason), std::string::npos)
        << refused;

    // Once the file is repaired (here: moved aside), the port starts.
    std::filesystem::remove_all(file);
    EXPECT_EQ(ControlCommand("start 1"), "ok\n");
}

INSTANTIATE_TEST_SUITE_P(Kinds, DamagedRegistry,
                         ::testing::ValuesIn(platform::testing::RegistryDamages()),
                         [](const auto& info) { return "Kind" + std::to_string(info.index); });

class RegistryLock : public HostTest {};

TEST_F(RegistryLock, AddGivesUpOnAHeldLockAndNamesTheHolder) {
    StartHost(PairAtUnlimitedRate(1));
    platform::testing::LockHolderProcess holder(platform::RegistryFile());
    const std::string answer = ControlCommand("add");  // the new port's key needs the lock
    EXPECT_EQ(answer.rfind("error: ", 0), 0u) << answer;
    EXPECT_NE(answer.find("system.reg.lock: still locked by process " +
                          std::to_string(holder.pid()) + " "),
              std::string::npos)
        << answer;
    holder.Release();
    EXPECT_EQ(ControlCommand("start 2"), "ok\n");
}

class HostPrefix : public HostTest {};

TEST_F(HostPrefix, ANewPrefixIsPrivateAndAnOpenOneIsWarnedAbout) {
    const auto fresh = prefix_.path() / "fresh";
    ::setenv("QORVAL_PREFIX", fresh.c_str(), 1);
    EXPECT_EQ(StartHost(PairAtUnlimitedRate(1)), "");
    EXPECT_EQ(ModeOf(fresh), 0700u);
    EXPECT_EQ(ModeOf(fresh / "run"), 0700u);
    EXPECT_EQ(ModeOf(fresh / "system.reg"), 0600u);
    EXPECT_EQ(ModeOf(fresh / "run" / "Wyvel32_001"), 0660u);
    StopHost();

    ASSERT_EQ(::chmod(fresh.c_str(), 0755), 0);
    EXPECT_EQ(StartHost(PairAtUnlimitedRate(1)),
              "wyvel32: warning: " + fresh.string() +
                  " is open to every user (mode 0755); chmod 700 it to keep the configuration "
                  "and the ports private\n");
}

}  // namespace
}  // namespace qorval::host::testing
