#include "driver/port_value_rules.h"

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <initializer_list>

#include "driver/events.h"
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

std::string Text(const char* format, auto... args) {
    char text[160];
    std::snprintf(text, sizeof text, format, args...);
    return text;
}

// A named value out of range: event 0xE007000C with `insertion` (the value's name unless the
// event has its own).
PortRefusal BadValue(std::string_view name, uint64_t value, const char* accepted,
                     std::string_view insertion = {}) {
    return {EVENT_BAD_VALUE, std::string(insertion.empty() ? name : insertion), name,
            Text("%.*s is %llu; the driver accepts %s", static_cast<int>(name.size()), name.data(),
                 static_cast<unsigned long long>(value), accepted)};
}

std::optional<PortRefusal> CheckBuffers(PortConfig& config) {
    const uint32_t tx_size = config.TxBuffSize;
    if (!RoundBuffSize(config.TxBuffSize)) {
        return BadValue("TxBuffSize", tx_size, "16 to 65535 (an odd size is rounded up)");
    }
    const uint32_t rx_size = config.RxBuffSize;
    if (!RoundBuffSize(config.RxBuffSize)) {
        return BadValue("RxBuffSize", rx_size, "16 to 65535 (an odd size is rounded up)");
    }
    if (config.RxBuffers < 2 || config.TxBuffers < 2) {
        const bool rx = config.RxBuffers < 2;
        return PortRefusal{
            EVENT_TOO_FEW_BUFFERS,
            {},
            rx ? "RxBuffers" : "TxBuffers",
            Text("%s is %u; the driver needs at least 2 receive and 2 transmit "
                 "buffers",
                 rx ? "RxBuffers" : "TxBuffers", rx ? config.RxBuffers : config.TxBuffers)};
    }
    const uint64_t count = uint64_t{config.RxBuffers} + config.TxBuffers;
    if (count > kMaxTotalBuffers) {
        return PortRefusal{EVENT_BUFFERS_TOO_LARGE,
                           {},
                           "TxBuffers",
                           Text("RxBuffers and TxBuffers are %llu buffers; the card takes at "
                                "most %llu",
                                static_cast<unsigned long long>(count),
                                static_cast<unsigned long long>(kMaxTotalBuffers))};
    }
    if (const uint64_t needed = CardMemoryNeeded(config); needed > kCardMemoryBytes) {
        return PortRefusal{EVENT_BUFFERS_TOO_LARGE,
                           {},
                           "TxBuffSize",
                           Text("the buffers and their list entries need %llu bytes of card "
                                "memory; the card has %llu",
                                static_cast<unsigned long long>(needed),
                                static_cast<unsigned long long>(kCardMemoryBytes))};
    }
    return std::nullopt;
}

std::optional<PortRefusal> CheckResources(const PortConfig& config) {
    const auto hex = [](uint64_t value) {
        return Text("%llX", static_cast<unsigned long long>(value));
    };
    if (config.Card == kCardTypeIsa) {
        if (config.BaseIO < kIsaBaseIOLow || config.BaseIO > kIsaBaseIOHigh ||
            config.BaseIO % 4 != 0) {
            return PortRefusal{EVENT_BAD_BASEIO, hex(config.BaseIO), "BaseIO",
                               "BaseIO is 0x" + hex(config.BaseIO) +
                                   "; this card takes a multiple of 4 from 0x200 to 0x3FC"};
        }
        if (config.Memory < kIsaMemoryLow || config.Memory > kIsaMemoryHigh ||
            config.Memory % kMemoryLength != 0) {
            return PortRefusal{EVENT_BAD_MEMORY, hex(config.Memory), "Memory",
                               "Memory is 0x" + hex(config.Memory) +
                                   "; this card takes a multiple of 0x4000 from 0x80000 to "
                                   "0xFC000"};
        }
    } else if (config.BaseIO % 8 != 0) {
        return PortRefusal{
            EVENT_BAD_BASEIO, hex(config.BaseIO), "BaseIO",
            "BaseIO is 0x" + hex(config.BaseIO) + "; the driver takes a multiple of 8"};
    }
    if (config.Card != kCardTypePci && !OneOf(config.Interrupt, {3, 4, 5, 7, 9, 10, 11, 12, 15})) {
        return PortRefusal{EVENT_BAD_INTERRUPT, Text("%u", config.Interrupt), "Interrupt",
                           Text("Interrupt is %u; this card takes 3, 4, 5, 7, 9, 10, 11, 12 or 15",
                                config.Interrupt)};
    }
    return std::nullopt;
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

std::optional<PortRefusal> CheckPortValues(PortConfig& config) {
    config.IoLength = kIoLength;
    config.MemoryLength = kMemoryLength;
    config.IuscLength = kIuscLength;

    if (config.BRGSource > 2) {
        return BadValue("BRGSource", config.BRGSource, "0, 1 or 2");
    }
    if (config.RS_485 > 1) {
        return BadValue("RS_485", config.RS_485, "0 or 1");
    }
    if (config.TXCMode != 1 && config.TXCMode != 2) {
        config.TXCMode = config.TxClock == 1 ? 1 : 2;
    }
    if (config.Divisor > 65535) {
        return BadValue("Divisor", config.Divisor, "0 to 65535");
    }
    if (config.SyncNodeAddress > 255) {
        return BadValue("SyncNodeAddress", config.SyncNodeAddress, "0 to 255");
    }
    if (config.CRCPreset != 1 && config.CRCPreset != 2) {
        return BadValue("CRCPreset", config.CRCPreset, "1 or 2");
    }
    if (config.IdleState > 6) {
        return BadValue("IdleState", config.IdleState, "0 to 6", "TxIdle");
    }
    if (!OneOf(config.Dpll, {0, 1, 2, 4, 8, 64, 129, 130, 131})) {
        return BadValue("Dpll", config.Dpll, "0, 1, 2, 4, 8, 64, 129, 130 or 131");
    }
    if (config.Dpll > 1) {
        if (!OneOf(config.DpllDivisor, {8, 16, 32})) {
            return BadValue("DpllDivisor", config.DpllDivisor, "8, 16 or 32 when Dpll is above 1");
        }
        if (!OneOf(config.DpllSource, {16, 32, 128})) {
            return BadValue("DpllSource", config.DpllSource, "16, 32 or 128 when Dpll is above 1");
        }
    }
    config.Protocol = 0;  // the channel always runs HDLC
    if (config.LoopBack > 1) {
        return BadValue("LoopBack", config.LoopBack, "0 or 1");
    }
    if (config.TxClock > 3) {
        return BadValue("TxClock", config.TxClock, "0 to 3");
    }
    if (config.RxClock > 3) {
        return BadValue("RxClock", config.RxClock, "0 to 3");
    }
    if (auto refusal = CheckBuffers(config)) {
        return refusal;
    }
    if (!OneOf(config.Interface, {1, 2, 4, 8, 16, 17, 18, 19, 20})) {
        return PortRefusal{EVENT_BAD_INTERFACE, Text("%u", config.Interface), "Interface",
                           Text("Interface is %u; the driver accepts 1, 2, 4, 8, 16, 17, 18, 19 "
                                "or 20",
                                config.Interface)};
    }
    return CheckResources(config);
}

NTSTATUS ReadPortValues(qorval::platform::Registry& registry, std::string_view service_key,
                        uint8_t port_number, PortConfig& config) {
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
    return ReadOscillator(registry, key, config);
}

}  // namespace wyvel32
