// Feeds arbitrary "Name=value" text to `qorval set`'s routing of a value to the rule of the
// window's control, for every driver type and selection, the way an administrator's command
// line reaches it. A refused value must leave the model as it was.
#include <cstddef>
#include <cstdint>
#include <string_view>

#include "applet/model_edits.h"
#include "applet/named_values.h"

namespace {

using namespace qorval::applet;

// Every driver type with a two-port card, ports enabled.
ConfigModel EveryDriver() {
    ConfigModel model;
    for (int32_t type = 0; type < kDriverTypeCount; ++type) {
        DriverEntry& driver = model.driver(model.driver_count++);
        driver.name = DriverInfo(type).name;
        driver.description = DriverInfo(type).description;
        driver.driver_type = type;
        driver.max_ports = DriverInfo(type).max_ports;
        driver.Start = kStartEnabled;
        driver.port_count = 2;
        for (int32_t p = 0; p < 2; ++p) {
            PortEntry& port = driver.ports[static_cast<size_t>(p)];
            ApplyNewPortDefaults(port, type);
            port.name = PortKeyName(p + 1);
            port.Enabled = 1;
            port.Channel = p;
            port.BaseIO = 0x200 + 0x40 * type;
        }
    }
    return model;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    static const ConfigModel kModel = EveryDriver();
    if (size < 2) {
        return 0;
    }
    ConfigModel model = kModel;
    model.selected_driver = data[0] % kDriverTypeCount;
    model.selected_port = data[1] % 2;
    model.selection_level = (data[1] >> 1) % 4;
    model.platform_win9x = (data[1] & 0x80) != 0;
    const std::string_view text(reinterpret_cast<const char*>(data + 2), size - 2);
    const size_t equals = text.find('=');
    const std::string_view name = text.substr(0, equals);
    const std::string_view value = equals == std::string_view::npos ? "" : text.substr(equals + 1);
    const ConfigModel before = model;
    const ValueChange change = SetNamedValue(model, name, value);
    if (change.result == ChangeResult::Refused &&
        (model.drivers != before.drivers || change.why.empty())) {
        __builtin_trap();  // a refusal changes nothing and says why
    }
    return 0;
}
