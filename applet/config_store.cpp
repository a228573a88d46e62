#include "applet/config_store.h"

#include "applet/config_log.h"
#include "applet/ini_store.h"
#include "applet/registry_store.h"
#include "applet/text_util.h"
#include "platform/paths.h"
#include "platform/profile.h"
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
    std::string problem;
    model.platform_win9x = kind == StoreKind::Ini;
    if (kind == StoreKind::Ini) {
        ReadIniConfig(model, platform::ProfileFile(paths.system_ini));
    } else {
        platform::Registry registry(paths.registry_file);
        if (const platform::RegResult state = registry.Flush(); !state.ok()) {
            ClearModel(model);
            problem = state.message;
        } else {
            ReadRegistryConfig(model, registry, {options.tidy});
        }
    }
    model.selected_driver = 0;
    model.selected_port = 0;
    return problem;
}

std::string StoreConfig(const ConfigModel& model, StoreKind kind, const StorePaths& paths) {
    if (kind == StoreKind::Ini) {
        platform::ProfileFile ini(paths.system_ini);
        WriteIniConfig(model, model.driver_count, ini);
        return {};
    }
    platform::Registry registry(paths.registry_file);
    const platform::RegResult result = registry.Transact([&](platform::Registry& batch) {
        WriteRegistryConfig(model, model.driver_count, batch);
        return platform::RegResult{};
    });
    return result.ok() ? std::string() : result.message;
}

std::string ConfigUnreadableText(const std::string& problem) {
    return Format(kUnreadable, problem.c_str());
}

std::string ConfigNotSavedText(const std::string& problem) {
    return Format(kNotSaved, problem.c_str());
}

CheckResult CommitConfig(ConfigModel& model, StoreKind kind, const StorePaths& paths,
                         ui::UserMessages& user) {
    CheckResult result = RunOkChecks(model, user);
    if (result.proceed) {
        if (const std::string problem = StoreConfig(model, kind, paths); !problem.empty()) {
            ShowError(user, ConfigNotSavedText(problem), kErrorCaption);
            return {.proceed = false};
        }
        (void)WriteConfigLog(model, paths.config_log);
    }
    return result;
}

PcmciaResources ReadPcmciaResourcesAt(const StorePaths& paths) {
    platform::Registry registry(paths.registry_file);
    return ReadPcmciaResources(registry);
}

}  // namespace qorval::applet
