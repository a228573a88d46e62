// The platform choice and the load, store and OK paths of the configuration tool.
#pragma once

#include <filesystem>
#include <optional>
#include <string>
#include <string_view>

#include "applet/config_model.h"
#include "applet/ok_checks.h"
#include "applet/pcmcia_resources.h"
#include "platform/registry.h"
#include "platform/user_messages.h"

namespace qorval::applet {

// Which store the model lives in: the registry (Windows NT family, the default) or
// "System.ini" (Windows 95/98 family).
enum class StoreKind { Registry, Ini };

// Chooses the store from the value of the store option: none means the registry;
// "registry" or "nt" the registry; "ini" or "win9x" the "System.ini" store. An empty
// value cannot name a platform and an unknown one is not recognised; both are reported
// and give no store, so the model stays empty.
std::optional<StoreKind> ChooseStore(std::optional<std::string_view> option,
                                     ui::UserMessages& user);

// Where the stores and the log live; by default under the prefix.
struct StorePaths {
    std::filesystem::path registry_file;
    std::filesystem::path system_ini;
    std::filesystem::path config_log;
};
StorePaths DefaultStorePaths();

struct LoadOptions {
    bool tidy = true;  // see RegistryReadOptions
};

// Sets the platform flag, loads the model from the store and selects driver 0, port 0.
// Returns why the store cannot be read ("<file>:<line>: <reason>" for a damaged registry
// file), or an empty string; a store that cannot be read leaves the model empty.
std::string LoadConfig(ConfigModel& model, StoreKind kind, const StorePaths& paths,
                       LoadOptions options = {});

// Writes the model to its store, whatever the store holds now: the registry file or
// "System.ini" is rewritten once, under its lock, with every value of the model or (when that
// fails) none. Returns why it failed, or an empty string.
std::string StoreConfig(const ConfigModel& model, StoreKind kind, const StorePaths& paths);

enum class SaveStatus {
    Saved,
    Failed,            // nothing was written; `problem` says why
    ChangedSinceRead,  // another program changed the store since it was read; nothing written
    NotReadAtOpen,     // the store could not be read when the model was loaded; nothing written
};
struct SaveResult {
    SaveStatus status = SaveStatus::Saved;
    std::string problem;
};

// One store as a window or a command uses it: it remembers what the store held when the model
// was read from it (or last saved to it), so that a save never silently writes over a change
// another program made meanwhile, nor over a file it could not read.
class ConfigStore {
  public:
    ConfigStore(StoreKind kind, StorePaths paths);

    StoreKind Kind() const { return kind_; }
    const StorePaths& Paths() const { return paths_; }

    // LoadConfig, remembering what was read. The registry is read (and tidied, with
    // `options.tidy`) in one locked pass, so what is remembered is what the model came from.
    std::string Load(ConfigModel& model, LoadOptions options = {});
    // Whether the last Load could read the store.
    bool ReadAtOpen() const { return read_.has_value(); }
    // Makes `staged` an in-memory registry holding the registry file as it would be after saving
    // `model`, for the checks of what the driver will do with it. Returns why the file cannot be
    // read, or an empty string.
    std::string Stage(const ConfigModel& model, platform::Registry& staged) const;
    // Writes the model when the store still holds what was read (or, with `overwrite`, whatever
    // it holds), in one locked rewrite with every value or none.
    SaveResult Save(const ConfigModel& model, bool overwrite = false);

  private:
    StoreKind kind_;
    StorePaths paths_;
    // The store's text at the last Load or Save; empty when it could not be read.
    std::optional<std::string> read_;
};

// What the user is told when the store cannot be read, and when a save failed.
std::string ConfigUnreadableText(const std::string& problem);
std::string ConfigNotSavedText(const std::string& problem);

// What the OK path does when the store changed since it was read: ask the user whether to
// overwrite it or read it again (the sheet), or report it and save nothing (a command, which
// reads the store again and repeats its edit).
enum class WhenStoreChanged { Ask, Report };

// The OK path: runs the OK-time checks and the checks of what the driver will do with the
// Wyvel32 ports; when they all continue, stores the model and writes the configuration log. A
// store that fails, that could not be read at open or that changed since is said so and writes
// nothing; the sheet stays open (`proceed` false), so no edit is lost unless the user chooses to
// read the store again (`reloaded`).
CheckResult CommitConfig(ConfigModel& model, ConfigStore& store, ui::UserMessages& user,
                         WhenStoreChanged when_changed = WhenStoreChanged::Ask);

// Reads the PC card resources from the registry of `paths`.
PcmciaResources ReadPcmciaResourcesAt(const StorePaths& paths);

}  // namespace qorval::applet
