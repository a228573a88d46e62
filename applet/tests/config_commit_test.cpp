// The OK path against the store: a value the driver would refuse or discard is said before
// anything is written, and a save never goes silently over a file this window could not read or
// that another program changed since.
#include <gtest/gtest.h>

#include "applet/config_store.h"
#include "applet/model_edits.h"
#include "applet/registry_store.h"
#include "applet/tests/host_made_ports.h"
#include "applet/tests/scratch_store.h"
#include "applet/tests/temp_dir.h"
#include "driver/port_key.h"
#include "platform/registry.h"
#include "platform/testing/recording_user_messages.h"

namespace qorval::applet {
namespace {

using testing::HostMadePorts;
using testing::PathsIn;
using testing::TempDir;
using ui::MessageAnswer;
using ui::testing::RecordingUserMessages;

TEST(DriverAcceptance, ValuesTheDriverRefusesAreNamedPortByPortBeforeAnythingIsWritten) {
    TempDir dir;
    const StorePaths paths = PathsIn(dir);
    HostMadePorts(paths.registry_file, 2);
    const std::string before = TempDir::Read(paths.registry_file);
    ConfigStore store(StoreKind::Registry, paths);
    ConfigModel model;
    ASSERT_EQ(store.Load(model), "");
    ASSERT_EQ(model.driver_count, 1);
    model.port(0, 0).SyncNodeAddress = 300;
    model.port(0, 1).Divisor = 70000;

    RecordingUserMessages user;
    const CheckResult result = CommitConfig(model, store, user);
    EXPECT_FALSE(result.proceed);
    EXPECT_EQ(result.page, SheetPage::CommSettings);
    EXPECT_EQ(model.selected_port, 0);
    ASSERT_EQ(user.shown.size(), 1u);
    EXPECT_EQ(user.shown[0].caption, "Invalid Port Settings");
    EXPECT_EQ(user.shown[0].icon, ui::MessageIcon::Stop);
    EXPECT_EQ(user.shown[0].text,
              "The 16C32 SDLC/HDLC driver would not start these ports with these settings:\n\n"
              "Port001: SyncNodeAddress is 300; the driver accepts 0 to 255.\n"
              "Port002: Divisor is 70000; the driver accepts 0 to 65535.\n\n"
              "Nothing was saved. Correct these values and press OK again.");
    EXPECT_EQ(TempDir::Read(paths.registry_file), before);
    EXPECT_FALSE(std::filesystem::exists(paths.config_log));

    // Values in range go through, and the driver's own keys stay as the driver keeps them.
    model.port(0, 0).SyncNodeAddress = 5;
    model.port(0, 1).Divisor = 62;
    RecordingUserMessages again;
    ASSERT_TRUE(CommitConfig(model, store, again).proceed) << again.Texts().front();
    platform::Registry saved(paths.registry_file);
    wyvel32::PortConfig key;
    EXPECT_EQ(wyvel32::JudgePortKey(saved, wyvel32::PortKeyPath(ServiceKey(kWyvel32), 2),
                                    std::nullopt, key)
                  .rewrite,
              wyvel32::PortKeyRewrite::None);
}

TEST(DriverAcceptance, SettingsTheDriverWouldDiscardAreAskedAboutAndNoWritesNothing) {
    TempDir dir;
    const StorePaths paths = PathsIn(dir);
    ConfigStore store(StoreKind::Registry, paths);
    ConfigModel model;
    ASSERT_EQ(store.Load(model), "");
    RecordingUserMessages add;
    ASSERT_TRUE(AddDriver(model, kWyvel32, 0x300, kPine, add, nullptr));
    model.port(0, 0).Divisor = 62;

    RecordingUserMessages no({MessageAnswer::No});
    const CheckResult result = CommitConfig(model, store, no);
    EXPECT_FALSE(result.proceed);
    ASSERT_EQ(no.shown.size(), 1u);
    EXPECT_EQ(no.shown[0].caption, "Settings Will Not Reach The Port");
    EXPECT_EQ(no.shown[0].defaultAnswer, MessageAnswer::No);
    EXPECT_EQ(no.shown[0].text,
              "The driver host will not keep the settings of these 16C32 SDLC/HDLC ports:\n\n"
              "Port001: its card is a Pine; the driver serves Rowan cards only and replaces the "
              "port's settings with its defaults when it starts port 1.\n\n"
              "The 16C32 ports appear here as Rowan cards once the driver host has started them "
              "(wyvel32 run); change their settings then.\n\nSave anyway?");
    EXPECT_FALSE(std::filesystem::exists(paths.registry_file));

    // A key that lost a value the host writes is discarded too, and says which.
    HostMadePorts(paths.registry_file, 1);
    platform::Registry registry(paths.registry_file);
    ASSERT_TRUE(registry.DeleteValue(wyvel32::PortKeyPath(ServiceKey(kWyvel32), 1), "BusNum").ok());
    ConfigModel loaded;
    ASSERT_EQ(store.Load(loaded), "");
    RecordingUserMessages yes({MessageAnswer::Yes});
    EXPECT_TRUE(CommitConfig(loaded, store, yes).proceed);
    ASSERT_FALSE(yes.shown.empty());
    EXPECT_NE(yes.shown[0].text.find("Port001: it has no usable value \"BusNum\""),
              std::string::npos)
        << yes.shown[0].text;
}

TEST(ConfigCommit, AWindowThatCouldNotReadTheFileNeverSavesOverItOnceRepaired) {
    TempDir dir;
    const StorePaths paths = PathsIn(dir);
    ConfigModel full;
    RecordingUserMessages add;
    ASSERT_TRUE(AddDriver(full, kFendar5, 0x280, kHazel, add, nullptr));
    ASSERT_TRUE(AddDriver(full, kHestabe5, 0x300, kHazel, add, nullptr));
    ASSERT_EQ(StoreConfig(full, StoreKind::Registry, paths), "");
    const std::string good = TempDir::Read(paths.registry_file);
    dir.Write("system.reg", "REGEDIT4\r\n\r\n[HKEY_LOCAL_MACHINE\\SYSTEM\r\n");  // damaged

    ConfigStore store(StoreKind::Registry, paths);
    ConfigModel model;
    EXPECT_NE(store.Load(model), "");
    ASSERT_TRUE(AddDriver(model, kWyvel32, 0x340, kPine, add, nullptr));
    dir.Write("system.reg", good);  // repaired meanwhile

    RecordingUserMessages no({MessageAnswer::No});
    EXPECT_FALSE(CommitConfig(model, store, no).proceed);
    EXPECT_EQ(no.shown.back().caption, "Configuration Changed");
    EXPECT_EQ(TempDir::Read(paths.registry_file), good);

    RecordingUserMessages yes({MessageAnswer::Yes});
    const CheckResult reloaded = CommitConfig(model, store, yes);
    EXPECT_FALSE(reloaded.proceed);
    EXPECT_TRUE(reloaded.reloaded);
    EXPECT_EQ(model.driver_count, 2);  // what the file holds, not the window's empty view
    EXPECT_EQ(TempDir::Read(paths.registry_file), good);
}

TEST(ConfigCommit, ASaveOverAChangeByAnotherWindowAsksToOverwriteOrReadAgain) {
    for (StoreKind kind : {StoreKind::Registry, StoreKind::Ini}) {
        SCOPED_TRACE(kind == StoreKind::Ini ? "System.ini" : "registry");
        TempDir dir;
        const StorePaths paths = PathsIn(dir);
        ConfigModel start;
        start.platform_win9x = kind == StoreKind::Ini;
        RecordingUserMessages add;
        ASSERT_TRUE(AddDriver(start, kFendar5, 0x280, kHazel, add, nullptr));
        start.port(0, 0).Mode = kModeHalfDuplex;
        ASSERT_EQ(StoreConfig(start, kind, paths), "");

        ConfigStore a_store(kind, paths);
        ConfigStore b_store(kind, paths);
        ConfigModel a;
        ConfigModel b;
        ASSERT_EQ(a_store.Load(a), "");
        ASSERT_EQ(b_store.Load(b), "");
        b.port(0, 0).TxBuffSize = 256;
        RecordingUserMessages b_user;
        ASSERT_TRUE(CommitConfig(b, b_store, b_user).proceed);
        const std::string after_b =
            TempDir::Read(kind == StoreKind::Ini ? paths.system_ini : paths.registry_file);

        a.port(0, 0).RxBuffers = 40;
        RecordingUserMessages cancel({MessageAnswer::Cancel});
        EXPECT_FALSE(CommitConfig(a, a_store, cancel).proceed);
        EXPECT_EQ(cancel.shown.back().text,
                  "Another program has changed the configuration since this window read it.\n\n"
                  "Yes: save the settings of this window over those changes.\n"
                  "No: read the configuration again; the changes made in this window are lost.\n"
                  "Cancel: return to the window; nothing is saved.");
        RecordingUserMessages reload({MessageAnswer::No});
        const CheckResult read_again = CommitConfig(a, a_store, reload);
        EXPECT_TRUE(read_again.reloaded);
        EXPECT_EQ(a.port(0, 0).TxBuffSize, 256);
        EXPECT_EQ(TempDir::Read(kind == StoreKind::Ini ? paths.system_ini : paths.registry_file),
                  after_b);

        // After reading again the window saves without a question; B's change is kept.
        a.port(0, 0).RxBuffers = 40;
        RecordingUserMessages save;
        ASSERT_TRUE(CommitConfig(a, a_store, save).proceed);
        ConfigModel stored;
        ASSERT_EQ(LoadConfig(stored, kind, paths), "");
        EXPECT_EQ(stored.port(0, 0).TxBuffSize, 256);
        EXPECT_EQ(stored.port(0, 0).RxBuffers, 40);

        // "Yes" puts this window's settings over the other's.
        b.port(0, 0).TxBuffSize = 512;
        RecordingUserMessages overwrite({MessageAnswer::Yes});
        ASSERT_TRUE(CommitConfig(b, b_store, overwrite).proceed);
        ASSERT_EQ(LoadConfig(stored, kind, paths), "");
        EXPECT_EQ(stored.port(0, 0).TxBuffSize, 512);
        EXPECT_EQ(stored.port(0, 0).RxBuffers, 100);
    }
}

}  // namespace
}  // namespace qorval::applet
