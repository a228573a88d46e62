#include "applet/registry_store.h"

#include <algorithm>
#include <vector>

#include "applet/text_util.h"

namespace qorval::applet {

namespace {

constexpr const char* kServicesRoot = "SYSTEM\\CurrentControlSet\\Services\\";
constexpr const char* kParameters = "\\Parameters";
constexpr const char* kEnum = "\\Enum";
constexpr const char* kPortPrefix = "Port";
constexpr const char* kPcmciaKey = "HARDWARE\\DESCRIPTION\\System\\PCMCIA PCCARDS";
constexpr const char* kPcmciaValue = "HESTABE5";
constexpr const char* kRxFifoLevel = "RxFifoLevel";

// The DWORD values of a port that read as -1 when missing, with the field each fills.
struct DwordField {
    const char* name;
    int32_t PortEntry::*field;
};

constexpr DwordField kDwordFields[] = {
    {"BaseIO", &PortEntry::BaseIO},
    {"Interrupt", &PortEntry::Interrupt},
    {"Card", &PortEntry::Card},
    {"TxDMA", &PortEntry::TxDMA},
    {"RxDMA", &PortEntry::RxDMA},
    {"TxBuffers", &PortEntry::TxBuffers},
    {"RxBuffers", &PortEntry::RxBuffers},
    {"TxBuffSize", &PortEntry::TxBuffSize},
    {"RxBuffSize", &PortEntry::RxBuffSize},
    {"DataBits", &PortEntry::DataBits},
    {"StopBits", &PortEntry::StopBits},
    {"RS_485", &PortEntry::RS_485},
    {"Mode", &PortEntry::Mode},
    {"LoopBack", &PortEntry::LoopBack},
    {"TxClock", &PortEntry::TxClock},
    {"RxClock", &PortEntry::RxClock},
    {"Divisor", &PortEntry::Divisor},
    {"BRGSource", &PortEntry::BRGSource},
    {"Enabled", &PortEntry::Enabled},
    {"UseNodeAddress", &PortEntry::UseNodeAddress},
    {"SyncNodeAddress", &PortEntry::SyncNodeAddress},
    {"Dpll", &PortEntry::Dpll},
    {"IdleState", &PortEntry::IdleState},
    {"CrcPreset", &PortEntry::CrcPreset},
    {"CrcUsed", &PortEntry::CrcUsed},
    {"DPLLSource", &PortEntry::DPLLSource},
    {"AutoinitBuffSize", &PortEntry::AutoinitBuffSize},
    {"Idleloop", &PortEntry::Idleloop},
    {"Minflags", &PortEntry::Minflags},
    {"Memory", &PortEntry::Memory},
    {"Protocol", &PortEntry::Protocol},
    {"Interface", &PortEntry::Interface},
    {"DPLLDivisor", &PortEntry::DPLLDivisor},
    {"TXCMode", &PortEntry::TXCMode},
};

std::string ParametersKey(int32_t type) {
    return ServiceKey(type) + kParameters;
}

int32_t ReadDword(platform::Registry& registry, const std::string& key, const char* name,
                  int32_t missing) {
    uint32_t value = 0;
    return registry.QueryDword(key, name, value).ok() ? static_cast<int32_t>(value) : missing;
}

bool ReadString(platform::Registry& registry, const std::string& key, const char* name,
                std::string& out) {
    return registry.QueryString(key, name, out).ok();
}

void ReadPort(platform::Registry& registry, const std::string& key, PortEntry& port) {
    for (const DwordField& value : kDwordFields) {
        port.*value.field = ReadDword(registry, key, value.name, kNotSet);
    }
    port.RxTimeout = ReadDword(registry, key, "RxTimeout", 0);
    port.TxTimeout = ReadDword(registry, key, "TxTimeout", 0);

    std::string text;
    port.Channel = kNotSet;
    if (ReadString(registry, key, "Channel", text)) {
        if (text == "A" || text == "a") {
            port.Channel = 0;
        } else if (text == "B" || text == "b") {
            port.Channel = 1;
        }
    }
    port.Parity = kNotSet;
    if (ReadString(registry, key, "Parity", text)) {
        const std::string lowered = ToLower(text);
        port.Parity = lowered == "even" ? 3 : lowered == "odd" ? 1 : 0;
    }
    if (!ReadString(registry, key, "Oscillator", port.Oscillator)) {
        port.Oscillator.clear();
    }
    port.ClockX = kNotSet;
    if (ReadString(registry, key, "ClockX", text)) {
        const std::string lowered = ToLower(text);
        for (int32_t multiplier : {1, 16, 32, 64}) {
            if (lowered == Format("x%d", multiplier)) {
                port.ClockX = multiplier;
            }
        }
    }
}

// Deletes the subkeys of `key` for which `doomed(name)` holds.
template <typename Doomed>
void DeleteSubkeys(platform::Registry& registry, const std::string& key, Doomed&& doomed) {
    std::vector<std::string> names;
    for (uint32_t i = 0;; ++i) {
        std::optional<std::string> name = registry.EnumSubkey(key, i);
        if (!name) {
            break;
        }
        names.push_back(*name);
    }
    for (const std::string& name : names) {
        if (doomed(name)) {
            (void)registry.DeleteKey(key + "\\" + name);
        }
    }
}

void RemoveUnconfiguredService(platform::Registry& registry, int32_t type) {
    const std::string service = ServiceKey(type);
    if (type == kWyvel32) {
        // The driver host owns this service key and its Parameters key; only the port keys
        // and the Enum key go.
        DeleteSubkeys(registry, ParametersKey(type),
                      [](const std::string& name) { return StartsWithNoCase(name, kPortPrefix); });
        (void)registry.DeleteKey(service + kEnum);
        return;
    }
    (void)registry.DeleteKey(ParametersKey(type));
    (void)registry.DeleteKey(service + kEnum);
    (void)registry.DeleteKey(service);
}

void WriteString(platform::Registry& registry, const std::string& key, const char* name,
                 const std::string& value) {
    (void)registry.SetString(key, name, value);
}

void WriteDword(platform::Registry& registry, const std::string& key, const char* name,
                int32_t value) {
    (void)registry.SetDword(key, name, static_cast<uint32_t>(value));
}

void WritePort(platform::Registry& registry, const std::string& key, const PortEntry& p) {
    const auto dword = [&](const char* name, int32_t value) {
        WriteDword(registry, key, name, value);
    };
    dword("BaseIO", p.BaseIO);
    WriteString(registry, key, "Channel", p.Channel == 1 ? "B" : "A");
    dword("Card", p.Card);
    dword("Interrupt", p.Interrupt);
    dword("TxDMA", p.TxDMA);
    dword("RxDMA", p.RxDMA);
    dword("TxBuffSize", p.TxBuffSize);
    dword("RxBuffSize", p.RxBuffSize);
    dword("RxBuffers", p.RxBuffers);
    dword("TxBuffers", p.TxBuffers);
    dword("DataBits", p.DataBits);
    dword("StopBits", p.StopBits);
    WriteString(registry, key, "Parity", p.Parity == 1 ? "Odd" : p.Parity == 3 ? "Even" : "None");
    dword("RS_485", p.RS_485);
    dword("Divisor", p.Divisor);
    dword("Mode", p.Mode);
    dword("TxClock", p.TxClock);
    dword("RxClock", p.RxClock);
    dword("BRGSource", p.BRGSource);
    dword("LoopBack", p.LoopBack);
    WriteString(registry, key, "Oscillator", p.Oscillator);
    WriteString(registry, key, "ClockX", Format("X%d", p.ClockX));
    dword("RxTimeout", p.RxTimeout);
    dword("TxTimeout", p.TxTimeout);
    dword("Enabled", p.Enabled);
    dword("UseNodeAddress", p.UseNodeAddress);
    dword("SyncNodeAddress", p.SyncNodeAddress);
    dword("Dpll", p.Dpll);
    dword("IdleState", p.IdleState);
    dword("CrcPreset", p.CrcPreset);
    dword("CrcUsed", p.CrcUsed);
    dword("DPLLSource", p.DPLLSource);
    dword("AutoinitBuffSize", p.AutoinitBuffSize);
    dword("Idleloop", p.Idleloop);
    dword("Minflags", p.Minflags);
    dword("Memory", p.Memory);
    dword("Protocol", p.Protocol);
    dword("Interface", p.Interface);
    dword("TXCMode", p.TXCMode);
    dword("DPLLDivisor", p.DPLLDivisor);
    if (p.Card == kNutmeg) {
        dword(kRxFifoLevel, 1);
    }
}

bool InModel(const ConfigModel& model, int32_t driver_count, int32_t type) {
    for (int32_t d = 0; d < driver_count; ++d) {
        if (model.driver(d).driver_type == type) {
            return true;
        }
    }
    return false;
}

}  // namespace

std::string ServiceKey(int32_t driver_type) {
    return std::string(kServicesRoot) + std::string(DriverInfo(driver_type).name);
}

int32_t ReadRegistryConfig(ConfigModel& model, platform::Registry& registry,
                           RegistryReadOptions options) {
    ClearModel(model);
    for (int32_t type = 0; type < kDriverTypeCount; ++type) {
        const std::string service = ServiceKey(type);
        if (!registry.KeyExists(service)) {
            continue;
        }
        DriverEntry entry;
        const DriverTypeInfo& info = DriverInfo(type);
        entry.name = info.name;
        entry.description = info.description;
        entry.driver_type = type;
        entry.max_ports = info.max_ports;
        entry.ErrorControl = ReadDword(registry, service, "ErrorControl", kNotSet);
        entry.Start = ReadDword(registry, service, "Start", kStartDisabled) == kStartEnabled
                          ? kStartEnabled
                          : kStartDisabled;
        entry.Type = ReadDword(registry, service, "Type", kNotSet);
        if (!ReadString(registry, service, "Group", entry.Group)) {
            entry.Group.clear();
        }

        const std::string parameters = ParametersKey(type);
        for (uint32_t i = 0; i < kMaxPortsPerDriver; ++i) {
            std::optional<std::string> name = registry.EnumSubkey(parameters, i);
            if (!name) {
                break;
            }
            entry.ports[entry.port_count++].name = *name;
        }
        if (entry.port_count == 0) {
            if (options.tidy) {
                (void)registry.DeleteKey(service + kEnum);
                if (type != kWyvel32) {
                    (void)registry.DeleteKey(service);
                }
            }
            continue;
        }
        for (int32_t p = 0; p < entry.port_count; ++p) {
            PortEntry& port = entry.ports[static_cast<size_t>(p)];
            ReadPort(registry, parameters + "\\" + port.name, port);
        }
        model.driver(model.driver_count++) = std::move(entry);
    }
    return model.driver_count;
}

void WriteRegistryConfig(const ConfigModel& model, int32_t driver_count,
                         platform::Registry& registry) {
    driver_count = std::clamp(driver_count, 0, kMaxDrivers);
    for (int32_t type = 0; type < kDriverTypeCount; ++type) {
        if (registry.KeyExists(ServiceKey(type)) && !InModel(model, driver_count, type)) {
            RemoveUnconfiguredService(registry, type);
        }
    }
    for (int32_t d = 0; d < driver_count; ++d) {
        const DriverEntry& entry = model.driver(d);
        const std::string service = ServiceKey(entry.driver_type);
        const std::string parameters = ParametersKey(entry.driver_type);
        const int32_t ports = std::clamp(entry.port_count, 0, kMaxPortsPerDriver);
        const auto is_port_name = [&](const std::string& name) {
            for (int32_t p = 0; p < ports; ++p) {
                if (entry.ports[static_cast<size_t>(p)].name == name) {
                    return true;
                }
            }
            return false;
        };
        (void)registry.CreateKey(parameters);
        DeleteSubkeys(registry, parameters,
                      [&](const std::string& name) { return !is_port_name(name); });
        for (int32_t p = 0; p < ports; ++p) {
            (void)registry.CreateKey(parameters + "\\" + entry.ports[static_cast<size_t>(p)].name);
        }

        WriteDword(registry, service, "Start", entry.Start);
        if (entry.driver_type != kWyvel32) {
            WriteDword(registry, service, "ErrorControl", entry.ErrorControl);
        }
        WriteDword(registry, service, "Type", entry.Type);
        WriteString(registry, service, "Group", entry.Group);
        for (int32_t p = 0; p < ports; ++p) {
            const PortEntry& port = entry.ports[static_cast<size_t>(p)];
            WritePort(registry, parameters + "\\" + port.name, port);
        }
    }
    (void)registry.Flush();
}

PcmciaResources ReadPcmciaResources(platform::Registry& registry) {
    platform::RegValue value;
    if (!registry.QueryValue(kPcmciaKey, kPcmciaValue, value).ok() ||
        value.data.size() > kPcmciaValueLimit) {
        return {};
    }
    return DecodePcmciaResources(value.data);
}

}  // namespace qorval::applet
