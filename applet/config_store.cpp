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

void LoadConfig(ConfigModel& model, StoreKind kind, const StorePaths& paths, LoadOptions options) {
    model.platform_win9x = kind == StoreKind::Ini;
    if (kind == StoreKind::Ini) {
        ReadIniConfig(model, platform::ProfileFile(paths.system_ini));
    } else {
        platform::Registry registry(paths.registry_file);
        ReadRegistryConfig(model, registry, {options.tidy});
    }
    model.selected_driver = 0;
    model.selected_port = 0;
}

void StoreConfig(const ConfigModel& model, StoreKind kind, const StorePaths& paths) {
    if (kind == StoreKind::Ini) {
        platform::ProfileFile ini(paths.system_ini);
        WriteIniConfig(model, model.driver_count, ini);
    } else {
        platform::Registry registry(paths.registry_file);
        WriteRegistryConfig(model, model.driver_count, registry);
    }
}

CheckResult CommitConfig(ConfigModel& model, StoreKind kind, const StorePaths& paths,
                         ui::UserMessages& user) {
    const CheckResult result = RunOkChecks(model, user);
    if (result.proceed) {
        StoreConfig(model, kind, paths);
        (void)WriteConfigLog(model, paths.config_log);
    }
    return result;
}

PcmciaResources ReadPcmciaResourcesAt(const StorePaths& paths) {
    platform::Registry registry(paths.registry_file);
    return ReadPcmciaResources(registry);
}

}  // namespace qorval::applet
