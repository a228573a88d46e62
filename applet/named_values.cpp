#include "applet/named_values.h"

#include <array>
#include <charconv>
#include <cstring>
#include <iterator>
#include <optional>

#include "applet/field_rules.h"
#include "applet/page_choices.h"
#include "applet/page_edits.h"
#include "applet/page_enables.h"
#include "applet/registry_store.h"
#include "applet/text_util.h"
#include "platform/registry.h"

namespace qorval::applet {

namespace {

using Enabled = bool (*)(const ConfigModel&);
using ApplyCode = FieldResult (*)(ConfigModel&, int32_t, ui::UserMessages&);
using ApplyText = FieldResult (*)(ConfigModel&, std::string_view, ui::UserMessages&);

// The Oscillator list stores the item's text; its codes here are the items' places.
constexpr auto kOscillatorChoices = [] {
    std::array<Choice, std::size(kOscillatorTexts)> choices{};
    for (size_t i = 0; i < choices.size(); ++i) {
        choices[i] = {kOscillatorTexts[i], static_cast<int32_t>(i)};
    }
    return choices;
}();
constexpr Choice kStartChoices[] = {{"Enabled", kStartEnabled}, {"Disabled", kStartDisabled}};

// A value the sheet lets the user change, and the control that changes it.
struct Row {
    const char* name;
    Enabled enabled;                      // when the sheet's control is usable
    Choices choices = {};                 // a list's items; empty for an edit field
    int32_t PortEntry::*field = nullptr;  // a plain control: stores the code or number as it is
    ApplyCode apply_code = nullptr;       // a list with a rule of its own
    ApplyText apply_text = nullptr;       // an edit field with a rule of its own
    bool hex = false;                     // typed and shown in hexadecimal
};

// A "Buffer Info" edit field: usable where the page lets buffers change, checked by its rule.
template <BufferField kField>
constexpr Row BufferRow(const char* name) {
    return {name,
            [](const ConfigModel& m) { return BufferInfoEnablesOf(m).buffers; },
            {},
            nullptr,
            nullptr,
            [](ConfigModel& m, std::string_view text, ui::UserMessages& user) {
                return ApplyBufferValue(m, kField, text, user);
            }};
}

const Row kRows[] = {
    {"Start", [](const ConfigModel& m) { return DriverInfoEnablesOf(m).driver_enabled; },
     kStartChoices, nullptr,
     [](ConfigModel& m, int32_t code, ui::UserMessages&) {
         SetDriverEnabled(m, code == kStartEnabled);
         return FieldResult::Accepted;
     }},
    {"BaseIO",
     [](const ConfigModel& m) { return SystemResourcesEnablesOf(m).base; },
     {},
     nullptr,
     nullptr,
     ApplyBaseAddress,
     true},
    {"Interrupt", [](const ConfigModel& m) { return SystemResourcesEnablesOf(m).interrupt; },
     kInterruptChoices, nullptr, ApplyInterrupt},
    {"TxDMA", [](const ConfigModel& m) { return SystemResourcesEnablesOf(m).tx_dma; }, kDmaChoices,
     nullptr,
     [](ConfigModel& m, int32_t code, ui::UserMessages&) {
         ApplyDmaChannel(m, true, code);
         return FieldResult::Accepted;
     }},
    {"RxDMA", [](const ConfigModel& m) { return SystemResourcesEnablesOf(m).rx_dma; }, kDmaChoices,
     nullptr,
     [](ConfigModel& m, int32_t code, ui::UserMessages&) {
         ApplyDmaChannel(m, false, code);
         return FieldResult::Accepted;
     }},
    {"Mode", [](const ConfigModel& m) { return SystemResourcesEnablesOf(m).port_mode; },
     kPortModeChoices, nullptr, ApplyPortMode},
    {"Memory",
     [](const ConfigModel& m) { return SystemResourcesEnablesOf(m).memory; },
     {},
     nullptr,
     nullptr,
     ApplyMemoryAddress,
     true},
    BufferRow<BufferField::TxBuffSize>("TxBuffSize"),
    BufferRow<BufferField::TxBuffers>("TxBuffers"),
    BufferRow<BufferField::RxBuffSize>("RxBuffSize"),
    BufferRow<BufferField::RxBuffers>("RxBuffers"),
    {"DataBits", [](const ConfigModel& m) { return CommSettingsEnablesOf(m).data_bits; },
     kDataBitsChoices, &PortEntry::DataBits},
    {"StopBits", [](const ConfigModel& m) { return CommSettingsEnablesOf(m).stop_bits; },
     kStopBitsChoices, &PortEntry::StopBits},
    {"Parity", [](const ConfigModel& m) { return CommSettingsEnablesOf(m).parity; }, kParityChoices,
     &PortEntry::Parity},
    {"RS_485", [](const ConfigModel& m) { return CommSettingsEnablesOf(m).rs485; }, kOnOffChoices,
     &PortEntry::RS_485},
    {"ClockX", [](const ConfigModel& m) { return CommSettingsEnablesOf(m).clock_mode; },
     kClockModeChoices, &PortEntry::ClockX},
    {"UseNodeAddress",
     [](const ConfigModel& m) { return CommSettingsEnablesOf(m).node_addressing; }, kOnOffChoices,
     &PortEntry::UseNodeAddress},
    {"SyncNodeAddress",
     [](const ConfigModel& m) { return CommSettingsEnablesOf(m).node_address; },
     {},
     &PortEntry::SyncNodeAddress},
    {"Oscillator", [](const ConfigModel& m) { return CommSettingsEnablesOf(m).oscillator; },
     kOscillatorChoices, nullptr,
     [](ConfigModel& m, int32_t code, ui::UserMessages&) {
         ApplyOscillatorText(m, kOscillatorTexts[code]);
         return FieldResult::Accepted;
     }},
    {"Divisor",
     [](const ConfigModel& m) { return CommSettingsEnablesOf(m).divisor; },
     {},
     &PortEntry::Divisor},
    {"TxClock", [](const ConfigModel& m) { return ClockingOptionsEnablesOf(m).clocks; },
     kClockChoices, &PortEntry::TxClock},
    {"RxClock", [](const ConfigModel& m) { return ClockingOptionsEnablesOf(m).clocks; },
     kClockChoices, &PortEntry::RxClock},
    {"Dpll", [](const ConfigModel& m) { return ClockingOptionsEnablesOf(m).dpll; }, kDpllChoices,
     nullptr, ApplyDpll},
    {"BRGSource", [](const ConfigModel& m) { return ClockingOptionsEnablesOf(m).brg_source; },
     kBrgSourceChoices, &PortEntry::BRGSource},
    {"DPLLSource", [](const ConfigModel& m) { return ClockingOptionsEnablesOf(m).dpll_source; },
     kDpllSourceChoices, nullptr, ApplyDpllSource},
    {"DPLLDivisor", [](const ConfigModel& m) { return ClockingOptionsEnablesOf(m).dpll_divisor; },
     kDpllDivisorChoices, &PortEntry::DPLLDivisor},
    {"TXCMode", [](const ConfigModel& m) { return ClockingOptionsEnablesOf(m).txc_mode; },
     kTxcModeChoices, &PortEntry::TXCMode},
    {"CrcUsed", [](const ConfigModel& m) { return AdvancedEnablesOf(m).crc_detection; },
     kCrcDetectionChoices, nullptr, ApplyCrcUsed},
    {"CrcPreset", [](const ConfigModel& m) { return AdvancedEnablesOf(m).crc_preset; },
     kCrcPresetChoices, &PortEntry::CrcPreset},
    {"LoopBack", [](const ConfigModel& m) { return AdvancedEnablesOf(m).loopback; }, kOnOffChoices,
     &PortEntry::LoopBack},
    {"IdleState", [](const ConfigModel& m) { return AdvancedEnablesOf(m).idle_state; },
     kIdleStateChoices, nullptr, ApplyIdleState},
    {"Interface", [](const ConfigModel& m) { return AdvancedEnablesOf(m).interface_type; },
     kInterfaceChoices, nullptr, ApplyInterface},
    {"TxTimeout",
     [](const ConfigModel& m) { return AdvancedEnablesOf(m).tx_timeout; },
     {},
     &PortEntry::TxTimeout},
    {"RxTimeout",
     [](const ConfigModel& m) { return AdvancedEnablesOf(m).rx_timeout; },
     {},
     nullptr,
     nullptr,
     ApplyRxTimeout},
    {"AutoinitBuffSize",
     [](const ConfigModel& m) { return AdvancedEnablesOf(m).autoinit_size; },
     {},
     &PortEntry::AutoinitBuffSize},
    {"Idleloop",
     [](const ConfigModel& m) { return AdvancedEnablesOf(m).idle_loop; },
     {},
     &PortEntry::Idleloop},
    {"Minflags",
     [](const ConfigModel& m) { return AdvancedEnablesOf(m).min_flags; },
     {},
     &PortEntry::Minflags},
    {"Enabled", [](const ConfigModel& m) { return DriverInfoEnablesOf(m).port_enabled; },
     kOnOffChoices, nullptr,
     [](ConfigModel& m, int32_t code, ui::UserMessages&) {
         SetPortEnabled(m, code == 1);
         return FieldResult::Accepted;
     }},
};

const Row* FindRow(std::string_view name) {
    for (const Row& row : kRows) {
        if (EqualsNoCase(name, row.name)) {
            return &row;
        }
    }
    return nullptr;
}

// Remembers what a rule tells its user; a rule asks nothing.
class RuleMessages : public ui::UserMessages {
  public:
    ui::MessageAnswer ShowMessage(const ui::Message& message) override {
        text += (text.empty() ? "" : " ") + message.text;
        return message.buttons == ui::MessageButtons::Ok ? ui::MessageAnswer::Ok
                                                         : ui::MessageAnswer::No;
    }
    void ShowStatus(std::string_view) override {}
    std::optional<std::string> ChooseFile(const ui::FileChoice&) override { return std::nullopt; }
    std::string text;
};

// A whole decimal number that fits 32 bits, read as the stored value does (4294967295 is -1).
std::optional<int32_t> WholeNumber(std::string_view text) {
    int64_t value = 0;
    const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value);
    if (error != std::errc{} || end != text.data() + text.size() || value < INT32_MIN ||
        value > int64_t{UINT32_MAX}) {
        return std::nullopt;
    }
    return static_cast<int32_t>(static_cast<uint32_t>(value));
}

std::string ChoiceList(Choices choices) {
    std::string list;
    for (const Choice& choice : choices) {
        list += (list.empty() ? "" : ", ") + std::string(choice.text);
    }
    return list;
}

std::optional<int32_t> ChosenCode(Choices choices, std::string_view text) {
    for (const Choice& choice : choices) {
        if (EqualsNoCase(text, choice.text)) {
            return choice.code;
        }
    }
    const std::optional<int32_t> number = WholeNumber(text);
    for (const Choice& choice : choices) {
        if (number && *number == choice.code) {
            return choice.code;
        }
    }
    return std::nullopt;
}

ValueChange Refused(std::string why) {
    return {ChangeResult::Refused, std::move(why)};
}

// The text an edit field gets: the typed number in the form its rule reads.
std::optional<std::string> FieldText(const Row& row, std::string_view text) {
    if (row.hex) {
        if (text.starts_with("0x") || text.starts_with("0X")) {
            text.remove_prefix(2);
        }
        uint32_t value = 0;
        const auto [end, error] =
            std::from_chars(text.data(), text.data() + text.size(), value, 16);
        if (text.empty() || error != std::errc{} || end != text.data() + text.size()) {
            return std::nullopt;
        }
        return std::string(text);
    }
    const std::optional<int32_t> number = WholeNumber(text);
    return number ? std::optional(Format("%d", *number)) : std::nullopt;
}

// The values of `key` as the registry store writes driver `d` of the model.
std::vector<NamedValue> KeyValues(const ConfigModel& model, int32_t d, const std::string& key) {
    ConfigModel one;
    one.driver(0) = model.driver(d);
    one.driver_count = 1;
    platform::Registry stored;
    WriteRegistryConfig(one, one.driver_count, stored);
    std::vector<NamedValue> values;
    for (const std::string& name : stored.ValueNames(key)) {
        platform::RegValue value;
        if (!stored.QueryValue(key, name, value).ok()) {
            continue;
        }
        if (value.type == platform::REG_DWORD && value.data.size() == 4) {
            uint32_t number = 0;
            std::memcpy(&number, value.data.data(), 4);  // the store keeps it little-endian
            const Row* row = FindRow(name);
            values.emplace_back(name, row != nullptr && row->hex
                                          ? Format("0x%X", number)
                                          : Format("%d", static_cast<int32_t>(number)));
        } else {
            values.emplace_back(name, std::string(value.data.begin(), value.data.end()));
        }
    }
    return values;
}

}  // namespace

std::vector<NamedValue> DriverValues(const ConfigModel& model, int32_t d) {
    return KeyValues(model, d, ServiceKey(model.driver(d).driver_type));
}

std::vector<NamedValue> PortValues(const ConfigModel& model, int32_t d, int32_t p) {
    const DriverEntry& driver = model.driver(d);
    return KeyValues(model, d,
                     ServiceKey(driver.driver_type) + "\\Parameters\\" +
                         driver.ports.at(static_cast<size_t>(p)).name);
}

ValueChange SetNamedValue(ConfigModel& model, std::string_view name, std::string_view text) {
    const Row* row = FindRow(name);
    if (row == nullptr) {
        for (const auto& [stored, value] :
             PortValues(model, model.selected_driver, model.selected_port)) {
            if (EqualsNoCase(name, stored)) {
                return Refused("the configuration window does not change it");
            }
        }
        return Refused("no value of this name is stored for a port");
    }
    if (!row->enabled(model)) {
        return Refused("the configuration window does not let it change for this port of the " +
                       model.driver(model.selected_driver).description + " driver");
    }
    RuleMessages told;
    FieldResult result = FieldResult::Accepted;
    if (!row->choices.empty()) {
        const std::optional<int32_t> code = ChosenCode(row->choices, text);
        if (!code) {
            return Refused("it takes one of: " + ChoiceList(row->choices));
        }
        if (row->apply_code != nullptr) {
            result = row->apply_code(model, *code, told);
        } else {
            model.selected().*row->field = *code;
        }
    } else {
        const std::optional<std::string> typed = FieldText(*row, text);
        if (!typed) {
            return Refused(row->hex ? "it takes a hexadecimal number" : "it takes a whole number");
        }
        if (row->apply_text != nullptr) {
            result = row->apply_text(model, *typed, told);
        } else {
            ApplyDecimalText(model, row->field, *typed);
        }
    }
    if (result != FieldResult::Accepted) {
        return Refused(told.text.empty() ? "refused" : told.text);
    }
    return {};
}

}  // namespace qorval::applet
