// The keys a driver host makes when it first starts its cards, for tests of the configuration
// tool that need no host: the Wyvel32 service enabled, and each port key with the driver's own
// default set and the card's location, written by the driver's code.
#pragma once

#include <gtest/gtest.h>

#include <filesystem>

#include "applet/config_model.h"
#include "applet/registry_store.h"
#include "driver/port_key.h"
#include "driver/registry_values.h"
#include "platform/registry.h"

namespace qorval::applet::testing {

inline void HostMadePorts(const std::filesystem::path& file, int ports) {
    platform::Registry registry(file);
    const std::string service = ServiceKey(kWyvel32);
    wyvel32::NTSTATUS written = wyvel32::STATUS_SUCCESS;
    // One rewrite of the file for every key, as a test has no use for the host's many.
    ASSERT_TRUE(registry
                    .Transact([&](platform::Registry& batch) {
                        (void)batch.CreateKey(service);
                        (void)batch.SetDword(service, "Start", kStartEnabled);
                        for (int port = 1; port <= ports && written == 0; ++port) {
                            wyvel32::PortConfig card;
                            card.PortNumber = static_cast<uint8_t>(port);
                            card.BaseIO = 0x1000 + 0x10 * port;
                            card.Interrupt = 16 + port;
                            card.PCIDevice = port;
                            written = wyvel32::WriteDefaultPortKey(
                                batch, wyvel32::PortKeyPath(service, card.PortNumber), card);
                        }
                        return platform::RegResult{};
                    })
                    .ok());
    ASSERT_EQ(written, wyvel32::STATUS_SUCCESS);
}

}  // namespace qorval::applet::testing
