#include "applet/config_store.h"

#include "applet/config_log.h"
#include "applet/driver_acceptance.h"
#include "applet/ini_store.h"
#include "applet/registry_store.h"
#include "applet/text_util.h"
#include "platform/paths.h"
#include "platform/profile.h"
#include "platform/profile_format.h"
#include "platform/registry.h"

namespace qorval::applet {

namespace {

constexpr const char* kNoPlatformId = "Error obtaining the operating system ID!";
constexpr const char* kUnknownPlatform = "Operating system not recognized!";
constexpr const char* kSystemIni = "System.ini";
constexpr const char* kConfigLog = "c:\\QLConfig.LOG";
constexpr const char* kErrorCaption = "Error";
constexpr const char* kUnreadable =
    "The configuration cannot be read: %s\nNothing was changed. Repair the file, or move it "
    "aside to start afresh, then try again.";
constexpr const char* kNotSaved =
    "The configuration could not be saved: %s\nNothing was changed; your settings are still "
    "here, so you can press OK again or Cancel.";
constexpr const char* kReloadCaption = "Configuration Changed";
constexpr const char* kChangedQuestion =
    "Another program has changed the configuration since this window read it.\n\n"
    "Yes: save the settings of this window over those changes.\n"
    "No: read the configuration again; the changes made in this window are lost.\n"
    "Cancel: return to the window; nothing is saved.";
constexpr const char* kNotReadQuestion =
    "The configuration could not be read when this window opened, so this window does not show "
    "what it holds; saving would delete every driver and port in it.\n\n"
    "Do you want to read the configuration again? The changes made in this window are lost.";

// Drops the keys of drivers that have no ports, as loading does (RegistryReadOptions), when
// there are any: in one locked pass, and only while the file still holds `text` (what the model
// was read from), which then becomes the tidied text. A file that cannot be tidied now is tidied
// by the next save, which drops the same keys.
void TidyRegistry(platform::Registry& registry, platform::Registry& snapshot, std::string& text) {
    const auto tidy = [](platform::Registry& tree, std::string& tidied) {
        ConfigModel scratch;
        ReadRegistryConfig(scratch, tree, {.tidy = true});
        return tree.ExportText(tidied);
    };
    std::string tidied;
    if (!tidy(snapshot, tidied).ok() || tidied == text) {
        return;  // nothing to drop
    }
    const platform::RegResult result = registry.Transact([&](platform::Registry& batch) {
        std::string now;
        if (!batch.ExportText(now).ok() || now != text) {
            return platform::RegResult{platform::RegStatus::InvalidArgument, "changed"};
        }
        return tidy(batch, tidied);
    });
    if (result.ok()) {
        text = tidied;
    }
}

}  // namespace

std::optional<StoreKind> ChooseStore(std::optional<std::string_view> option,
                                     ui::UserMessages& user) {
    if (!option) {
        return StoreKind::Registry;
    }
    const std::string name = ToLower(*option);
    if (name.empty()) {
        ShowPlain(user, kNoPlatformId);
        return std::nullopt;
    }
    if (name == "registry" || name == "nt") {
        return StoreKind::Registry;
    }
    if (name == "ini" || name == "win9x") {
        return StoreKind::Ini;
    }
    ShowPlain(user, kUnknownPlatform);
    return std::nullopt;
}

StorePaths DefaultStorePaths() {
    return {platform::RegistryFile(), platform::WindowsDir() / kSystemIni,
            platform::FromDosPath(kConfigLog)};
}

std::string LoadConfig(ConfigModel& model, StoreKind kind, const StorePaths& paths,
                       LoadOptions options) {
    ConfigStore store(kind, paths);
    return store.Load(model, options);
}

std::string StoreConfig(const ConfigModel& model, StoreKind kind, const StorePaths& paths) {
    ConfigStore store(kind, paths);
    return store.Save(model, /*overwrite=*/true).problem;
}

ConfigStore::ConfigStore(StoreKind kind, StorePaths paths)
    : kind_(kind), paths_(std::move(paths)) {}

std::string ConfigStore::Load(ConfigModel& model, LoadOptions options) {
    read_.reset();
    std::string text;
    std::string problem;
    if (kind_ == StoreKind::Ini) {
        platform::ProfileFile file(paths_.system_ini);
        platform::ProfileDocument ini;
        if (file.Load(ini)) {
            ReadIniConfig(model, ini);
            text = ini.Write();
        } else {
            problem = file.LastError();
        }
    } else {
        platform::Registry registry(paths_.registry_file);
        platform::Registry snapshot;
        platform::RegResult result = registry.Snapshot(snapshot);
        if (result.ok()) {
            ReadRegistryConfig(model, snapshot, {.tidy = false});
            result = snapshot.ExportText(text);
        }
        problem = result.message;
        if (result.ok() && options.tidy) {
            TidyRegistry(registry, snapshot, text);
        }
    }
    if (problem.empty()) {
        read_ = std::move(text);
    } else {
        ClearModel(model);
    }
    model.platform_win9x = kind_ == StoreKind::Ini;
    model.selected_driver = 0;
    model.selected_port = 0;
    return problem;
}

std::string ConfigStore::Stage(const ConfigModel& model, platform::Registry& staged) const {
    platform::Registry registry(paths_.registry_file);
    if (const platform::RegResult result = registry.Snapshot(staged); !result.ok()) {
        return result.message;
    }
    WriteRegistryConfig(model, model.driver_count, staged);
    return {};
}

SaveResult ConfigStore::Save(const ConfigModel& model, bool overwrite) {
    if (!overwrite && !read_) {
        return {SaveStatus::NotReadAtOpen, {}};
    }
    // The store as it is now, under its lock, against what was read.
    bool changed = false;
    const auto unchanged = [&](const std::string& now) {
        changed = !overwrite && now != *read_;
        return !changed;
    };
    std::string after;
    std::string problem;
    if (kind_ == StoreKind::Ini) {
        platform::ProfileFile file(paths_.system_ini);
        const bool written = file.Transact([&](platform::ProfileDocument& ini) {
            if (!unchanged(ini.Write())) {
                return false;
            }
            problem = WriteIniConfig(model, model.driver_count, ini);
            after = ini.Write();
            return problem.empty();
        });
        if (!written && problem.empty() && !changed) {
            problem = file.LastError();
        }
    } else {
        platform::Registry registry(paths_.registry_file);
        const platform::RegResult result = registry.Transact([&](platform::Registry& batch) {
            std::string now;
            if (platform::RegResult state = batch.ExportText(now); !state.ok()) {
                return state;
            }
            if (!unchanged(now)) {
                // Any result that is not Ok leaves the file as it is.
                return platform::RegResult{platform::RegStatus::InvalidArgument, "changed"};
            }
            WriteRegistryConfig(model, model.driver_count, batch);
            return batch.ExportText(after);
        });
        if (!result.ok() && !changed) {
            problem = result.message;
        }
    }
    if (changed) {
        return {SaveStatus::ChangedSinceRead, {}};
    }
    if (!problem.empty()) {
        return {SaveStatus::Failed, problem};
    }
    read_ = std::move(after);
    return {SaveStatus::Saved, {}};
}

std::string ConfigUnreadableText(const std::string& problem) {
    return Format(kUnreadable, problem.c_str());
}

std::string ConfigNotSavedText(const std::string& problem) {
    return Format(kNotSaved, problem.c_str());
}

namespace {

// The store could not be read when the model was loaded: offer to read it again.
CheckResult OfferReload(ConfigModel& model, ConfigStore& store, ui::UserMessages& user,
                        const char* question) {
    if (!ui::AskYesNo(user, question, kReloadCaption)) {
        return {.proceed = false};
    }
    if (const std::string problem = store.Load(model); !problem.empty()) {
        ShowError(user, ConfigUnreadableText(problem), kErrorCaption);
    }
    return {.proceed = false, .reloaded = true};
}

// Another program changed the store since it was read: overwrite it, read it again, or go back.
CheckResult SaveOverChange(ConfigModel& model, ConfigStore& store, ui::UserMessages& user,
                           SaveResult& saved) {
    const ui::MessageAnswer answer =
        user.ShowMessage({kChangedQuestion, kReloadCaption, ui::MessageIcon::Warning,
                          ui::MessageButtons::YesNoCancel, ui::MessageAnswer::Cancel});
    if (answer == ui::MessageAnswer::Yes) {
        saved = store.Save(model, /*overwrite=*/true);
        return {};
    }
    if (answer == ui::MessageAnswer::No) {
        if (const std::string problem = store.Load(model); !problem.empty()) {
            ShowError(user, ConfigUnreadableText(problem), kErrorCaption);
        }
        return {.proceed = false, .reloaded = true};
    }
    return {.proceed = false};
}

}  // namespace

CheckResult CommitConfig(ConfigModel& model, ConfigStore& store, ui::UserMessages& user,
                         WhenStoreChanged when_changed) {
    CheckResult result = RunOkChecks(model, user);
    if (!result.proceed) {
        return result;
    }
    if (!store.ReadAtOpen()) {
        return OfferReload(model, store, user, kNotReadQuestion);
    }
    if (store.Kind() == StoreKind::Registry) {
        platform::Registry staged;
        if (const std::string problem = store.Stage(model, staged); !problem.empty()) {
            ShowError(user, ConfigNotSavedText(problem), kErrorCaption);
            return {.proceed = false};
        }
        if (CheckResult accepted = CheckDriverAcceptance(model, staged, user); !accepted.proceed) {
            return accepted;
        }
    }
    SaveResult saved = store.Save(model);
    if (saved.status == SaveStatus::ChangedSinceRead) {
        if (when_changed == WhenStoreChanged::Report) {
            return {.proceed = false, .store_changed = true};
        }
        if (CheckResult choice = SaveOverChange(model, store, user, saved); !choice.proceed) {
            return choice;
        }
    }
    if (saved.status != SaveStatus::Saved) {
        ShowError(user, ConfigNotSavedText(saved.problem), kErrorCaption);
        return {.proceed = false};
    }
    (void)WriteConfigLog(model, store.Paths().config_log);
    return result;
}

PcmciaResources ReadPcmciaResourcesAt(const StorePaths& paths) {
    platform::Registry registry(paths.registry_file);
    return ReadPcmciaResources(registry);
}

}  // namespace qorval::applet
