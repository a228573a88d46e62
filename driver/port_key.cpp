#include "driver/port_key.h"

#include <string>

#include "driver/registry_status.h"
#include "driver/registry_values.h"
#include "platform/registry.h"

namespace wyvel32 {

using qorval::platform::Registry;

namespace {

// A text value is present when it reads as text no longer than the check's limit.
NTSTATUS CheckTextValue(Registry& registry, std::string_view key_path, std::string_view name) {
    std::string text;
    const auto result = registry.QueryString(key_path, name, text);
    if (!result.ok()) {
        return RegistryStatus(result);
    }
    return text.size() > kOscillatorCheckLimit ? STATUS_BUFFER_TOO_SMALL : STATUS_SUCCESS;
}

std::string_view ParentKey(std::string_view key_path) {
    const size_t slash = key_path.rfind('\\');
    return slash == std::string_view::npos ? std::string_view{} : key_path.substr(0, slash);
}

// The DWORD the default set writes for a resource or location entry.
uint32_t DefaultNumber(const DefaultValue& value, const PortConfig& config) {
    switch (value.source) {
        case DefaultSource::BaseIO:
            return static_cast<uint32_t>(config.BaseIO);
        case DefaultSource::Interrupt:
            return config.Interrupt;
        case DefaultSource::Memory:
            return static_cast<uint32_t>(config.Memory);
        case DefaultSource::IUSC:
            return static_cast<uint32_t>(config.IUSC);
        case DefaultSource::BusNum:
            return config.BusNum;
        case DefaultSource::PCIDevice:
            return config.PCIDevice;
        case DefaultSource::PCIFunction:
            return config.PCIFunction;
        case DefaultSource::Number:
        case DefaultSource::Text:
        case DefaultSource::ChannelLetter:
            break;
    }
    return value.number;
}

qorval::platform::RegResult WriteDefault(Registry& registry, std::string_view key_path,
                                         const DefaultValue& value, const PortConfig& config) {
    switch (value.source) {
        case DefaultSource::Text:
            return registry.SetString(key_path, value.name, value.text);
        case DefaultSource::ChannelLetter: {
            const char letter[1] = {ChannelLetter(config.PortNumber)};
            return registry.SetString(key_path, value.name, std::string_view(letter, 1));
        }
        default:
            return registry.SetDword(key_path, value.name, DefaultNumber(value, config));
    }
}

}  // namespace

NTSTATUS CheckPortKey(Registry& registry, std::string_view key_path, PortConfig& config,
                      std::string_view* failed_value) {
    for (const CheckValue& value : PortCheckValues()) {
        if (failed_value != nullptr) {
            *failed_value = value.name;
        }
        if (value.text) {
            const NTSTATUS status = CheckTextValue(registry, key_path, value.name);
            if (!NT_SUCCESS(status)) {
                return status;
            }
            continue;
        }
        uint32_t number = 0;
        const auto result = registry.QueryDword(key_path, value.name, number);
        if (!result.ok()) {
            return RegistryStatus(result);
        }
        if (value.field != nullptr) {
            config.*value.field = number;
        } else if (value.name == "Card") {
            // A stored code that does not fit the 8-bit field cannot be the PCI card.
            config.Card = number > 0xFF ? 0xFF : static_cast<uint8_t>(number);
        }
    }
    if (failed_value != nullptr) {
        *failed_value = {};
    }
    return STATUS_SUCCESS;
}

NTSTATUS WriteDefaultPortKey(Registry& registry, std::string_view key_path,
                             const PortConfig& config) {
    if (registry.KeyExists(key_path)) {
        const auto result = registry.DeleteKey(key_path);
        if (!result.ok()) {
            return RegistryStatus(result);
        }
    }
    for (std::string_view key : {ParentKey(key_path), key_path}) {
        const auto result = registry.CreateKey(key);
        if (!result.ok()) {
            return RegistryStatus(result);
        }
    }
    for (const DefaultValue& value : DefaultPortValues()) {
        const auto result = WriteDefault(registry, key_path, value, config);
        if (!result.ok()) {
            return RegistryStatus(result);
        }
    }
    return RegistryStatus(registry.Flush());
}

PortKeyVerdict JudgePortKey(Registry& registry, std::string_view key_path,
                            const std::optional<PciLocation>& location, PortConfig& config) {
    PortKeyVerdict verdict;
    verdict.check_status = CheckPortKey(registry, key_path, config, &verdict.missing_value);
    if (!NT_SUCCESS(verdict.check_status)) {
        verdict.rewrite = PortKeyRewrite::Incomplete;
    } else if (config.Card != kCardTypePci) {
        verdict.rewrite = PortKeyRewrite::NotPciCard;
    } else if (location.has_value()) {
        const PciLocation stored = config.Location();
        if (stored.BusNum != location->BusNum || stored.PCIDevice != location->PCIDevice ||
            stored.PCIFunction != location->PCIFunction) {
            verdict.rewrite = PortKeyRewrite::MovedCard;
        }
    }
    return verdict;
}

NTSTATUS LoadPortConfig(Registry& registry, std::string_view service_key,
                        const std::optional<PciLocation>& location, PortConfig& config) {
    const std::string key_path = PortKeyPath(service_key, config.PortNumber);
    // The caller's identity of the card; the check overwrites these fields with stored values.
    const uint8_t card = config.Card;
    const uint32_t bus_type = config.BusType;
    const PciLocation current = location.value_or(config.Location());

    const PortKeyVerdict verdict = JudgePortKey(registry, key_path, location, config);
    if (verdict.rewrite == PortKeyRewrite::None) {
        return verdict.check_status;
    }
    // The rewritten key records where the card is now, not where the stale key said it was;
    // otherwise the next start would find a mismatch again and discard the administrator's
    // settings at every start.
    config.Card = card;
    config.BusType = bus_type;
    config.BusNum = current.BusNum;
    config.PCIDevice = current.PCIDevice;
    config.PCIFunction = current.PCIFunction;
    return WriteDefaultPortKey(registry, key_path, config);
}

}  // namespace wyvel32
