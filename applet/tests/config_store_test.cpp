#include "applet/config_store.h"

#include <gtest/gtest.h>

#include "applet/config_log.h"
#include "applet/model_edits.h"
#include "applet/tests/scratch_store.h"
#include "applet/tests/temp_dir.h"
#include "platform/testing/recording_user_messages.h"

namespace qorval::applet {
namespace {

using testing::PathsIn;
using testing::TempDir;
using ui::testing::RecordingUserMessages;

TEST(ConfigStore, StoreOptionChoosesThePlatform) {
    RecordingUserMessages user;
    EXPECT_EQ(ChooseStore(std::nullopt, user), StoreKind::Registry);
    EXPECT_EQ(ChooseStore("ini", user), StoreKind::Ini);
    EXPECT_EQ(ChooseStore("Registry", user), StoreKind::Registry);
    EXPECT_TRUE(user.shown.empty());
    EXPECT_EQ(ChooseStore("", user), std::nullopt);
    EXPECT_EQ(user.shown.back().text, "Error obtaining the operating system ID!");
    EXPECT_EQ(ChooseStore("os2", user), std::nullopt);
    EXPECT_EQ(user.shown.back().text, "Operating system not recognized!");
}

TEST(ConfigStore, OkStoresTheModelAndWritesTheLog) {
    for (StoreKind kind : {StoreKind::Registry, StoreKind::Ini}) {
        TempDir dir;
        const StorePaths paths = PathsIn(dir);
        ConfigModel model;
        ConfigStore store(kind, paths);
        EXPECT_EQ(store.Load(model), "");
        EXPECT_EQ(model.driver_count, 0);
        RecordingUserMessages user;
        ASSERT_TRUE(AddDriver(model, kFendar5, 0x280, kHazel, user, nullptr));
        model.port(0, 0).Mode = kModeHalfDuplex;
        model.port(0, 0).RxDMA = 3;
        ASSERT_TRUE(CommitConfig(model, store, user).proceed);

        ConfigModel loaded;
        LoadConfig(loaded, kind, paths);
        EXPECT_EQ(loaded.platform_win9x, kind == StoreKind::Ini);
        ASSERT_EQ(loaded.driver_count, 1);
        EXPECT_EQ(loaded.port(0, 0).BaseIO, 0x280);
        EXPECT_EQ(loaded.port(0, 0).Card, kHazel);
        EXPECT_EQ(TempDir::Read(paths.config_log), ComposeConfigLog(model));
    }
}

TEST(ConfigStore, AbortedOkStoresNothing) {
    TempDir dir;
    const StorePaths paths = PathsIn(dir);
    ConfigModel model;
    RecordingUserMessages add;
    ASSERT_TRUE(AddDriver(model, kFendar5, 0x280, kHazel, add, nullptr));
    model.port(0, 0).Mode = kModeInterrupt;  // refused for Fendar5
    RecordingUserMessages user;
    ConfigStore store(StoreKind::Registry, paths);
    ConfigModel empty;
    ASSERT_EQ(store.Load(empty), "");
    EXPECT_FALSE(CommitConfig(model, store, user).proceed);
    EXPECT_FALSE(std::filesystem::exists(paths.config_log));
    ConfigModel loaded;
    LoadConfig(loaded, StoreKind::Registry, paths);
    EXPECT_EQ(loaded.driver_count, 0);
}

TEST(ConfigStore, DamagedRegistryFileIsNeitherReadNorOverwritten) {
    TempDir dir;
    const StorePaths paths = PathsIn(dir);
    const std::string damaged =
        "REGEDIT4\r\n\r\n[HKEY_LOCAL_MACHINE\\SYSTEM\r\n\"Start\"=dword:zz\r\n";
    dir.Write("system.reg", damaged);
    ConfigModel model;
    LoadConfig(model, StoreKind::Registry, paths);
    EXPECT_EQ(model.driver_count, 0);
    RecordingUserMessages user;
    ASSERT_TRUE(AddDriver(model, kFendar5, 0x280, kHazel, user, nullptr));
    StoreConfig(model, StoreKind::Registry, paths);
    EXPECT_EQ(TempDir::Read(paths.registry_file), damaged);
}

}  // namespace
}  // namespace qorval::applet
