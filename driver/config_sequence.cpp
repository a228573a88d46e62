#include "driver/config_sequence.h"

#include <cstring>
#include <string>

#include "driver/port_key.h"
#include "driver/port_validation.h"
#include "driver/registry_status.h"
#include "driver/registry_values.h"
#include "platform/registry.h"

namespace wyvel32 {

namespace {

constexpr uint64_t kBaseIOMask = ~uint64_t{1};
constexpr uint64_t kWindowAddressMask = ~uint64_t{0xF};
constexpr uint32_t kInterruptMask = 0xFF;

// The record an open starts from: the resources and identity the port was started with.
PortConfig OpenTimeRecord(const PortConfig& started) {
    PortConfig config;
    config.BaseIO = started.BaseIO;
    config.Memory = started.Memory;
    config.IUSC = started.IUSC;
    config.Interrupt = started.Interrupt;
    config.InterruptVectorLevel = started.InterruptVectorLevel;
    config.Card = started.Card;
    config.BusType = started.BusType;
    config.BusNum = started.BusNum;
    config.PCIDevice = started.PCIDevice;
    config.PCIFunction = started.PCIFunction;
    config.PortNumber = started.PortNumber;
    return config;
}

}  // namespace

NTSTATUS StorePortResources(const DriverContext& driver, PortConfig& config) {
    config.BaseIO &= kBaseIOMask;
    config.Interrupt &= kInterruptMask;
    config.Memory &= kWindowAddressMask;
    config.IUSC &= kWindowAddressMask;
    const std::string key = PortKeyPath(driver.service_key, config.PortNumber);
    const struct {
        std::string_view name;
        uint32_t value;
    } resources[] = {
        {kValueBaseIO, static_cast<uint32_t>(config.BaseIO)},
        {kValueInterrupt, config.Interrupt},
        {kValueMemory, static_cast<uint32_t>(config.Memory)},
        {kValueIUSC, static_cast<uint32_t>(config.IUSC)},
    };
    for (const auto& resource : resources) {
        const auto result = driver.registry->SetDword(key, resource.name, resource.value);
        if (!result.ok()) {
            return RegistryStatus(result);
        }
    }
    return STATUS_SUCCESS;
}

NTSTATUS RunStartConfiguration(PortContext& port, PortConfig& config, WindowMapper& mapper) {
    const DriverContext& driver = *port.driver;
    config.Card = kCardTypePci;
    config.BusType = kBusTypePci;
    NTSTATUS status =
        LoadPortConfig(*driver.registry, driver.service_key, config.Location(), config);
    if (!NT_SUCCESS(status)) {
        return status;
    }
    status = ReadValidatePortConfig(driver, driver.service_key, config.PortNumber, config);
    if (!NT_SUCCESS(status)) {
        return status;
    }
    status = StorePortResources(driver, config);
    if (!NT_SUCCESS(status)) {
        return status;
    }
    Hardware* hardware = mapper.MapWindows(config);
    if (hardware == nullptr) {
        return STATUS_INSUFFICIENT_RESOURCES;
    }
    port.config = config;
    port.hardware = hardware;
    return STATUS_SUCCESS;
}

NTSTATUS RunOpenConfiguration(PortContext& port) {
    const DriverContext& driver = *port.driver;
    PortConfig config = OpenTimeRecord(port.config);
    NTSTATUS status = LoadPortConfig(*driver.registry, driver.service_key, std::nullopt, config);
    if (!NT_SUCCESS(status)) {
        return status;
    }
    status = ReadValidatePortConfig(driver, driver.service_key, config.PortNumber, config);
    if (!NT_SUCCESS(status)) {
        return status;
    }
    CopyOpenTimeValues(port.config, config);
    return STATUS_SUCCESS;
}

void CopyOpenTimeValues(PortConfig& into, const PortConfig& from) {
    into.Interface = from.Interface;
    into.TXCMode = from.TXCMode;
    into.Divisor = from.Divisor;
    into.CRCPreset = from.CRCPreset;
    into.Dpll = from.Dpll;
    into.DpllDivisor = from.DpllDivisor;
    into.DpllSource = from.DpllSource;
    into.IdleState = from.IdleState;
    into.LoopBack = from.LoopBack;
    into.TxClock = from.TxClock;
    into.RxClock = from.RxClock;
    into.SyncNodeAddress = from.SyncNodeAddress;
    into.BRGSource = from.BRGSource;
    into.RS_485 = from.RS_485;
    std::memcpy(into.Oscillator, from.Oscillator, sizeof into.Oscillator);
}

}  // namespace wyvel32
