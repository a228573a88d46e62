#include "driver/port_validation.h"

#include <algorithm>
#include <cstring>
#include <initializer_list>
#include <string>

#include "driver/events.h"
#include "driver/log_event.h"
#include "driver/registry_status.h"
#include "driver/registry_values.h"
#include "platform/registry.h"

namespace wyvel32 {

namespace {

// The Oscillator is read into a buffer of 15 units with its terminator, then converted into the
// 10-byte field of PortConfig.
constexpr size_t kOscillatorReadLimit = 14;

constexpr uint32_t kIsaBaseIOLow = 512;
constexpr uint32_t kIsaBaseIOHigh = 1020;
constexpr uint64_t kIsaMemoryLow = 0x80000;
constexpr uint64_t kIsaMemoryHigh = 0xFC000;

bool OneOf(uint32_t value, std::initializer_list<uint32_t> accepted) {
    return std::find(accepted.begin(), accepted.end(), value) != accepted.end();
}

// Rounds an odd size up and reports whether the result is a usable buffer size.
bool RoundBuffSize(uint32_t& size) {
    uint64_t rounded = size;
    if (rounded % 2 != 0) {
        ++rounded;
    }
    size = static_cast<uint32_t>(rounded);
    return rounded >= kMinBuffSize && rounded <= kMaxBuffSize;
}

NTSTATUS Reject(const DriverContext& driver, const PortConfig& config, uint32_t event_code,
                std::string_view insertion = {}) {
    LogPortEvent(driver, config.BaseIO, event_code, insertion);
    return STATUS_UNSUCCESSFUL;
}

NTSTATUS RejectValue(const DriverContext& driver, const PortConfig& config, std::string_view name) {
    return Reject(driver, config, EVENT_BAD_VALUE, name);
}

NTSTATUS ReadOscillator(qorval::platform::Registry& registry, std::string_view key,
                        PortConfig& config) {
    std::string text;
    const auto result = registry.QueryString(key, kValueOscillator, text);
    if (result.status == qorval::platform::RegStatus::NotFound) {
        return STATUS_SUCCESS;  // no default: the field stays as it was
    }
    if (!result.ok()) {
        return RegistryStatus(result);
    }
    if (text.size() > kOscillatorReadLimit) {
        return STATUS_BUFFER_TOO_SMALL;
    }
    if (text.size() >= kOscillatorField) {
        return STATUS_BUFFER_OVERFLOW;
    }
    std::memset(config.Oscillator, 0, sizeof config.Oscillator);
    std::memcpy(config.Oscillator, text.data(), text.size());
    return STATUS_SUCCESS;
}

}  // namespace

uint64_t CardMemoryNeeded(const PortConfig& config) {
    const uint64_t rx = config.RxBuffers;
    const uint64_t tx = config.TxBuffers;
    return kListEntryBytes * (rx + tx) + rx * config.RxBuffSize + tx * config.TxBuffSize;
}

NTSTATUS ValidatePortConfig(const DriverContext& driver, PortConfig& config) {
    config.IoLength = kIoLength;
    config.MemoryLength = kMemoryLength;
    config.IuscLength = kIuscLength;

    if (config.BRGSource > 2) {
        return RejectValue(driver, config, "BRGSource");
    }
    if (config.RS_485 > 1) {
        return RejectValue(driver, config, "RS_485");
    }
    if (config.TXCMode != 1 && config.TXCMode != 2) {
        config.TXCMode = config.TxClock == 1 ? 1 : 2;
    }
    if (config.Divisor > 65535) {
        return RejectValue(driver, config, "Divisor");
    }
    if (config.SyncNodeAddress > 255) {
        return RejectValue(driver, config, "SyncNodeAddress");
    }
    if (config.CRCPreset != 1 && config.CRCPreset != 2) {
        return RejectValue(driver, config, "CRCPreset");
    }
    if (config.IdleState > 6) {
        return RejectValue(driver, config, "TxIdle");
    }
    if (!OneOf(config.Dpll, {0, 1, 2, 4, 8, 64, 129, 130, 131})) {
        return RejectValue(driver, config, "Dpll");
    }
    if (config.Dpll > 1) {
        if (!OneOf(config.DpllDivisor, {8, 16, 32})) {
            return RejectValue(driver, config, "DpllDivisor");
        }
        if (!OneOf(config.DpllSource, {16, 32, 128})) {
            return RejectValue(driver, config, "DpllSource");
        }
    }
    config.Protocol = 0;  // the channel always runs HDLC
    if (config.LoopBack > 1) {
        return RejectValue(driver, config, "LoopBack");
    }
    if (config.TxClock > 3) {
        return RejectValue(driver, config, "TxClock");
    }
    if (config.RxClock > 3) {
        return RejectValue(driver, config, "RxClock");
    }
    if (!RoundBuffSize(config.TxBuffSize)) {
        return RejectValue(driver, config, "TxBuffSize");
    }
    if (!RoundBuffSize(config.RxBuffSize)) {
        return RejectValue(driver, config, "RxBuffSize");
    }
    if (config.RxBuffers < 2 || config.TxBuffers < 2) {
        return Reject(driver, config, EVENT_TOO_FEW_BUFFERS);
    }
    if (uint64_t{config.RxBuffers} + config.TxBuffers > kMaxTotalBuffers ||
        CardMemoryNeeded(config) > kCardMemoryBytes) {
        return Reject(driver, config, EVENT_BUFFERS_TOO_LARGE);
    }
    if (!OneOf(config.Interface, {1, 2, 4, 8, 16, 17, 18, 19, 20})) {
        return Reject(driver, config, EVENT_BAD_INTERFACE, DecimalString(config.Interface));
    }
    if (config.Card == kCardTypeIsa) {
        if (config.BaseIO < kIsaBaseIOLow || config.BaseIO > kIsaBaseIOHigh ||
            config.BaseIO % 4 != 0) {
            return Reject(driver, config, EVENT_BAD_BASEIO, HexString(config.BaseIO));
        }
        if (config.Memory < kIsaMemoryLow || config.Memory > kIsaMemoryHigh ||
            config.Memory % kMemoryLength != 0) {
            return Reject(driver, config, EVENT_BAD_MEMORY, HexString(config.Memory));
        }
    } else if (config.BaseIO % 8 != 0) {
        return Reject(driver, config, EVENT_BAD_BASEIO, HexString(config.BaseIO));
    }
    if (config.Card != kCardTypePci && !OneOf(config.Interrupt, {3, 4, 5, 7, 9, 10, 11, 12, 15})) {
        return Reject(driver, config, EVENT_BAD_INTERRUPT, DecimalString(config.Interrupt));
    }
    if (config.Enabled == 0) {
        LogPortEvent(driver, config.BaseIO, EVENT_PORT_DISABLED);
    }
    return STATUS_SUCCESS;
}

NTSTATUS ReadValidatePortConfig(const DriverContext& driver, std::string_view service_key,
                                uint8_t port_number, PortConfig& config) {
    qorval::platform::Registry& registry = *driver.registry;
    const std::string key = PortKeyPath(service_key, port_number);
    if (!registry.KeyExists(key)) {
        return STATUS_OBJECT_NAME_NOT_FOUND;
    }
    for (const ReadValue& value : PortReadValues()) {
        uint32_t number = 0;
        const auto result = registry.QueryDword(key, value.name, number);
        if (result.ok()) {
            config.*value.field = number;
        } else if (result.status == qorval::platform::RegStatus::NotFound) {
            if (value.fallback.has_value()) {
                config.*value.field = *value.fallback;
            }
        } else {
            return RegistryStatus(result);
        }
    }
    const NTSTATUS status = ReadOscillator(registry, key, config);
    if (!NT_SUCCESS(status)) {
        return status;
    }
    return ValidatePortConfig(driver, config);
}

}  // namespace wyvel32
