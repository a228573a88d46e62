// The platform choice and the load, store and OK paths of the configuration tool.
#pragma once

#include <filesystem>
#include <optional>
#include <string>
#include <string_view>

#include "applet/config_model.h"
#include "applet/ok_checks.h"
#include "applet/pcmcia_resources.h"
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

// Writes the model to its store. The registry file is rewritten once, under its lock, with
// every value of the model or (when that fails) none. Returns why it failed, or an empty
// string.
std::string StoreConfig(const ConfigModel& model, StoreKind kind, const StorePaths& paths);

// What the user is told when the store cannot be read, and when a save failed.
std::string ConfigUnreadableText(const std::string& problem);
std::string ConfigNotSavedText(const std::string& problem);

// The OK path: runs the OK-time checks and, when they all continue, stores the model and
// writes the configuration log. A store that fails is reported, writes no log and keeps the
// sheet open (`proceed` false), so no edit is lost.
CheckResult CommitConfig(ConfigModel& model, StoreKind kind, const StorePaths& paths,
                         ui::UserMessages& user);

// Reads the PC card resources from the registry of `paths`.
PcmciaResources ReadPcmciaResourcesAt(const StorePaths& paths);

}  // namespace qorval::applet
