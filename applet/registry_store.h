// The Windows NT store of the configuration: one service key per driver below
// SYSTEM\CurrentControlSet\Services, one key per port below its Parameters key. This is
// the same registry file the driver host reads its port values from.
#pragma once

#include <cstdint>

#include "applet/config_model.h"
#include "applet/pcmcia_resources.h"
#include "platform/registry.h"

namespace qorval::applet {

struct RegistryReadOptions {
    // When true, a driver whose Parameters key holds no ports has its Enum key (and, unless
    // it is Wyvel32, its service key) deleted while loading. The `qorval log` command reads
    // with this off so that printing never changes the store.
    bool tidy = true;
};

// Clears the model and loads every configured driver; returns the driver count.
int32_t ReadRegistryConfig(ConfigModel& model, platform::Registry& registry,
                           RegistryReadOptions options = {});

// Stores the first `driver_count` drivers of the model. A value that cannot be written is
// skipped and the remaining values are still written.
void WriteRegistryConfig(const ConfigModel& model, int32_t driver_count,
                         platform::Registry& registry);

// The resources PC card services recorded for a Nutmeg card.
PcmciaResources ReadPcmciaResources(platform::Registry& registry);

// Service key path of a driver type.
std::string ServiceKey(int32_t driver_type);

}  // namespace qorval::applet
