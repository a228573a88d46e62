// Saving and loading the registry store as a whole: one rewrite with every value or none, and
// a store that cannot be read or written is said so, never shown as an empty configuration.
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/resource.h>
#include <sys/wait.h>

#include <cstdio>

#include "applet/config_store.h"
#include "applet/model_edits.h"
#include "applet/tests/full_model.h"
#include "applet/tests/scratch_store.h"
#include "applet/tests/temp_dir.h"
#include "platform/atomic_file.h"
#include "platform/testing/recording_user_messages.h"
#include "platform/tests/damaged_registry.h"

namespace qorval::applet {
namespace {

using testing::FullModel;
using testing::PathsIn;
using testing::TempDir;
using ui::testing::RecordingUserMessages;

// Files may not grow past `bytes` while the object lives: a write that would is refused with
// EFBIG, as on a full disk, part-way through whatever was being written.
class FileSizeLimit {
  public:
    explicit FileSizeLimit(rlim_t bytes) {
        previous_handler_ = ::signal(SIGXFSZ, SIG_IGN);
        ::getrlimit(RLIMIT_FSIZE, &previous_);
        rlimit limit = previous_;
        limit.rlim_cur = bytes;
        EXPECT_EQ(::setrlimit(RLIMIT_FSIZE, &limit), 0);
    }
    ~FileSizeLimit() {
        ::setrlimit(RLIMIT_FSIZE, &previous_);
        ::signal(SIGXFSZ, previous_handler_);
    }

  private:
    rlimit previous_{};
    sighandler_t previous_handler_{};
};

TEST(ConfigSave, ASaveThatFailsPartWayLeavesTheFileByteForByte) {
    TempDir dir;
    const StorePaths paths = PathsIn(dir);
    ASSERT_EQ(StoreConfig(FullModel(1), StoreKind::Registry, paths), "");
    const std::string before = TempDir::Read(paths.registry_file);

    // Room for a few more values but not for three more drivers.
    std::string problem;
    {
        FileSizeLimit limit(before.size() + 2000);
        problem = StoreConfig(FullModel(4), StoreKind::Registry, paths);
    }
    EXPECT_NE(problem.find("cannot write"), std::string::npos) << problem;
    EXPECT_EQ(TempDir::Read(paths.registry_file), before);

    // Without the limit the same save lands whole.
    ASSERT_EQ(StoreConfig(FullModel(4), StoreKind::Registry, paths), "");
    ConfigModel loaded;
    ASSERT_EQ(LoadConfig(loaded, StoreKind::Registry, paths), "");
    ASSERT_EQ(loaded.driver_count, 4);
    for (int d = 0; d < 4; ++d) {
        EXPECT_EQ(loaded.driver(d).port_count, kMaxPortsPerDriver);
        EXPECT_EQ(loaded.port(d, 3).BaseIO, 0x200 + 0x40 * (4 * d + 3));
    }
}

TEST(ConfigSave, AFailedOkSaysSoKeepsTheSheetOpenAndWritesNoLog) {
    TempDir dir;
    const StorePaths paths = PathsIn(dir);
    ConfigStore store(StoreKind::Registry, paths);
    ConfigModel model;
    ASSERT_EQ(store.Load(model), "");
    std::filesystem::create_directories(paths.registry_file);  // nothing can replace a folder
    RecordingUserMessages add;
    ASSERT_TRUE(AddDriver(model, kFendar5, 0x280, kHazel, add, nullptr));
    RecordingUserMessages user;
    EXPECT_FALSE(CommitConfig(model, store, user).proceed);
    ASSERT_EQ(user.shown.size(), 1u);
    EXPECT_EQ(user.shown[0].caption, "Error");
    EXPECT_EQ(user.shown[0].text,
              "The configuration could not be saved: " + paths.registry_file.string() +
                  ": not a regular file\nNothing was changed; your settings are still here, so "
                  "you can press OK again or Cancel.");
    EXPECT_FALSE(std::filesystem::exists(paths.config_log));
    EXPECT_EQ(model.driver_count, 1);
}

// The "System.ini" store as the registry store: one locked rewrite with every value or none,
// a lock that is not released costs one bounded wait, and every failure is said.
class IniSave : public ::testing::Test {
  protected:
    void SetUp() override {
        dir_.Write("System.ini", before_);
        ConfigModel empty;
        ASSERT_EQ(store_.Load(empty), "");
        model_.platform_win9x = true;
        RecordingUserMessages add;
        ASSERT_TRUE(AddDriver(model_, kFendar5, 0x280, kHazel, add, nullptr));
    }
    // The OK fails with one error box and leaves the file and the log as they were.
    void ExpectNotSaved(const std::string& reason) {
        RecordingUserMessages user;
        EXPECT_FALSE(CommitConfig(model_, store_, user).proceed);
        ASSERT_EQ(user.shown.size(), 1u);
        EXPECT_EQ(user.shown[0].caption, "Error");
        EXPECT_TRUE(user.shown[0].text.starts_with("The configuration could not be saved: "))
            << user.shown[0].text;
        EXPECT_NE(user.shown[0].text.find(reason), std::string::npos) << user.shown[0].text;
        EXPECT_EQ(TempDir::Read(paths_.system_ini), before_);
        EXPECT_FALSE(std::filesystem::exists(paths_.config_log));
    }

    TempDir dir_;
    const StorePaths paths_ = PathsIn(dir_);
    const std::string before_ = "[boot]\r\nshell=Explorer.exe\r\n";
    ConfigStore store_{StoreKind::Ini, paths_};
    ConfigModel model_;
};

TEST_F(IniSave, WithTheLockHeldElsewhereSaysSoAndWritesNothing) {
    std::string error;
    auto held = platform::FileLock::Acquire(paths_.system_ini, error);
    ASSERT_TRUE(held.has_value()) << error;
    ExpectNotSaved("System.ini.lock");
}

TEST_F(IniSave, ThatCannotBeWrittenSaysSoAndLogsNothing) {
    {
        FileSizeLimit limit(before_.size() + 100);  // room for a few values, not for a driver
        ExpectNotSaved("cannot write");
    }
    // Once it can be written, the same OK stores every value in one go.
    RecordingUserMessages again;
    ASSERT_TRUE(CommitConfig(model_, store_, again).proceed);
    ConfigModel stored;
    ASSERT_EQ(LoadConfig(stored, StoreKind::Ini, paths_), "");
    EXPECT_EQ(stored.driver_count, 1);
    EXPECT_EQ(stored.port(0, 0).BaseIO, 0x280);
}

// `qorval log` in a prefix, with its exit status and what it wrote where.
struct CommandRun {
    int status = -1;
    std::string out;
    std::string err;
};

CommandRun RunQorvalLog(const std::filesystem::path& prefix) {
    const std::filesystem::path err_file = prefix / "stderr.txt";
    const std::string command = "QORVAL_PREFIX='" + prefix.string() + "' '" QORVAL_PROGRAM
                                "' log 2>'" + err_file.string() + "'";
    CommandRun run;
    FILE* pipe = ::popen(command.c_str(), "r");
    if (pipe == nullptr) {
        return run;
    }
    char buf[4096];
    for (size_t n; (n = std::fread(buf, 1, sizeof buf, pipe)) > 0;) {
        run.out.append(buf, n);
    }
    const int status = ::pclose(pipe);
    run.status = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    run.err = TempDir::Read(err_file);
    return run;
}

TEST(ConfigSave, LogOfADamagedRegistryIsAnErrorThatNamesTheFileAndLine) {
    for (const auto& damage : platform::testing::RegistryDamages()) {
        SCOPED_TRACE(damage.kind);
        TempDir prefix;
        const auto file = prefix.path() / "system.reg";
        const std::string bytes = damage.make(file);
        const CommandRun run = RunQorvalLog(prefix.path());
        EXPECT_EQ(run.status, 1);
        EXPECT_EQ(run.out, "");
        EXPECT_EQ(run.err, "Error: The configuration cannot be read: " + file.string() +
                               damage.reason +
                               "\nNothing was changed. Repair the file, or move it aside to "
                               "start afresh, then try again.\n");
        if (!bytes.empty()) {
            EXPECT_EQ(TempDir::Read(file), bytes);
        }
        ConfigModel model;
        EXPECT_EQ(LoadConfig(model, StoreKind::Registry, PathsIn(prefix)),
                  file.string() + damage.reason);
        EXPECT_EQ(model.driver_count, 0);
    }
}

}  // namespace
}  // namespace qorval::applet
