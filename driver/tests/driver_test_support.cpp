#include "driver/tests/driver_test_support.h"

#include <gtest/gtest.h>

#include "driver/port_key.h"
#include "driver/port_validation.h"

namespace wyvel32::testing {

PortConfig StartedConfig(uint8_t port_number) {
    PortConfig config;
    config.PortNumber = port_number;
    config.BaseIO = 0xE000;
    config.Memory = 0xF8000000;
    config.IUSC = 0xF7000000;
    config.Interrupt = 11;
    config.Card = kCardTypePci;
    config.BusType = kBusTypePci;
    config.BusNum = 0;
    config.PCIDevice = port_number;
    config.PCIFunction = 0;
    return config;
}

DriverFixture::DriverFixture() {
    driver.registry = &registry;
    driver.event_log = &events;
}

std::vector<uint32_t> DriverFixture::EventCodes() const {
    std::vector<uint32_t> codes;
    for (const auto& entry : events.Entries()) {
        codes.push_back(entry.error_code);
    }
    return codes;
}

void DriverFixture::WriteDefaultKey() {
    ASSERT_EQ(WriteDefaultPortKey(registry, kTestPortKey, StartedConfig()), STATUS_SUCCESS);
}

void DriverFixture::SetDword(const std::string& name, uint32_t value) {
    ASSERT_TRUE(registry.SetDword(kTestPortKey, name, value).ok());
}

void DriverFixture::SetString(const std::string& name, const std::string& value) {
    ASSERT_TRUE(registry.SetString(kTestPortKey, name, value).ok());
}

SimPortFixture::SimPortFixture() {
    WriteDefaultKey();
    PortConfig config = StartedConfig();
    EXPECT_EQ(ReadValidatePortConfig(driver, driver.service_key, 1, config), STATUS_SUCCESS);
    port.driver = &driver;
    port.hardware = &card;
    port.interrupt_sync = &sync;
    port.config = config;
    card.EnableTrace(true);
}

uint16_t SimPortFixture::LastWrite16(uint8_t offset) const {
    uint16_t value = 0;
    for (const auto& access : card.Trace()) {
        if (access.kind == qorval::sim::Access::Kind::RegWrite16 && access.offset == offset) {
            value = access.value;
        }
    }
    return value;
}

bool SimPortFixture::Written16(uint8_t offset) const {
    for (const auto& access : card.Trace()) {
        if (access.kind == qorval::sim::Access::Kind::RegWrite16 && access.offset == offset) {
            return true;
        }
    }
    return false;
}

}  // namespace wyvel32::testing
