#include "applet/driver_acceptance.h"

#include <optional>

#include "applet/registry_store.h"
#include "applet/text_util.h"
#include "driver/port_key.h"
#include "driver/port_value_rules.h"
#include "driver/registry_values.h"

namespace qorval::applet {

namespace {

constexpr uint32_t kHighestPortNumber = 32;  // the driver numbers its ports 1 to 32

constexpr const char* kRefusedCaption = "Invalid Port Settings";
constexpr const char* kRefusedText =
    "The %s driver would not start these ports with these settings:\n\n%s\n"
    "Nothing was saved. Correct these values and press OK again.";
constexpr const char* kDiscardedCaption = "Settings Will Not Reach The Port";
constexpr const char* kDiscardedText =
    "The driver host will not keep the settings of these %s ports:\n\n%s\n"
    "The 16C32 ports appear here as Rowan cards once the driver host has started them "
    "(wyvel32 run); change their settings then.\n\nSave anyway?";

// The number of a port key the driver reads ("Port001" is port 1), or nullopt.
std::optional<uint8_t> DriverPortNumber(const std::string& name) {
    for (uint32_t number = 1; number <= kHighestPortNumber; ++number) {
        if (EqualsNoCase(name, PortKeyName(static_cast<int32_t>(number)))) {
            return static_cast<uint8_t>(number);
        }
    }
    return std::nullopt;
}

// Why the driver discards the key. The card comes first: a key made for another card lacks
// values too, but the card is what the user can act on.
std::string DiscardReason(const wyvel32::PortKeyVerdict& verdict, int32_t card, uint8_t number) {
    if (card != kRowan || verdict.rewrite == wyvel32::PortKeyRewrite::NotPciCard) {
        const std::string_view model = CardModelName(card);
        return Format(
            "its card is %s; the driver serves Rowan cards only and replaces the "
            "port's settings with its defaults when it starts port %u",
            model.empty() ? "of an unknown type" : ("a " + std::string(model)).c_str(), number);
    }
    switch (verdict.rewrite) {
        case wyvel32::PortKeyRewrite::Incomplete:
            return Format(
                "it has no usable value \"%.*s\", which the driver host writes when it "
                "first starts port %u; until then the driver replaces the port's "
                "settings with its defaults",
                static_cast<int>(verdict.missing_value.size()), verdict.missing_value.data(),
                number);
        case wyvel32::PortKeyRewrite::NotPciCard:
        case wyvel32::PortKeyRewrite::MovedCard:
        case wyvel32::PortKeyRewrite::None:
            break;
    }
    return {};
}

// What the driver makes of one port key: nullopt when it keeps the key and takes every value.
std::optional<PortObjection> JudgePort(platform::Registry& staged, const PortEntry& port) {
    PortObjection objection;
    const std::string& name = port.name;
    const std::optional<uint8_t> number = DriverPortNumber(name);
    if (!number) {
        objection.text = name + ": the driver reads port keys named Port001 to Port032 only";
        return objection;
    }
    const std::string service = ServiceKey(kWyvel32);
    // The card's location is the host's to know; a complete key records the one the driver wrote.
    wyvel32::PortConfig config;
    config.PortNumber = *number;
    const wyvel32::PortKeyVerdict verdict =
        wyvel32::JudgePortKey(staged, wyvel32::PortKeyPath(service, *number), std::nullopt, config);
    if (verdict.rewrite != wyvel32::PortKeyRewrite::None) {
        objection.text = name + ": " + DiscardReason(verdict, port.Card, *number);
        return objection;
    }
    objection.refused = true;
    const wyvel32::NTSTATUS read = wyvel32::ReadPortValues(staged, service, *number, config);
    if (read == wyvel32::STATUS_BUFFER_OVERFLOW || read == wyvel32::STATUS_BUFFER_TOO_SMALL) {
        objection.value = wyvel32::kValueOscillator;
        objection.text =
            name + ": Oscillator is longer than 9 characters; the driver cannot take it";
        return objection;
    }
    if (!wyvel32::NT_SUCCESS(read)) {
        objection.text = name + Format(": the driver cannot read the port's key (status 0x%08X)",
                                       static_cast<unsigned>(read));
        return objection;
    }
    if (const std::optional<wyvel32::PortRefusal> refusal = wyvel32::CheckPortValues(config)) {
        objection.value = std::string(refusal->value);
        objection.text = name + ": " + refusal->reason;
        return objection;
    }
    return std::nullopt;
}

// The page that holds a value the driver refuses.
SheetPage PageOfValue(std::string_view value) {
    struct Place {
        const char* value;
        SheetPage page;
    };
    static constexpr Place kPlaces[] = {
        {"BaseIO", SheetPage::SystemResources},       {"Memory", SheetPage::SystemResources},
        {"Interrupt", SheetPage::SystemResources},    {"TxBuffSize", SheetPage::BufferInfo},
        {"RxBuffSize", SheetPage::BufferInfo},        {"TxBuffers", SheetPage::BufferInfo},
        {"RxBuffers", SheetPage::BufferInfo},         {"Divisor", SheetPage::CommSettings},
        {"SyncNodeAddress", SheetPage::CommSettings}, {"Oscillator", SheetPage::CommSettings},
        {"RS_485", SheetPage::CommSettings},          {"CRCPreset", SheetPage::Advanced},
        {"IdleState", SheetPage::Advanced},           {"LoopBack", SheetPage::Advanced},
        {"Interface", SheetPage::Advanced},
    };
    for (const Place& place : kPlaces) {
        if (EqualsNoCase(value, place.value)) {
            return place.page;
        }
    }
    return value.empty() ? SheetPage::Current : SheetPage::ClockingOptions;
}

void Select(ConfigModel& model, const PortObjection& objection) {
    model.selected_driver = objection.driver;
    model.selected_port = objection.port;
    model.selection_level = kSelectPort;
}

}  // namespace

std::vector<PortObjection> JudgeWyvel32Ports(const ConfigModel& model, platform::Registry& staged) {
    std::vector<PortObjection> objections;
    for (int32_t d = 0; d < model.driver_count; ++d) {
        const DriverEntry& driver = model.driver(d);
        if (driver.driver_type != kWyvel32) {
            continue;
        }
        for (int32_t p = 0; p < driver.port_count && p < kMaxPortsPerDriver; ++p) {
            if (std::optional<PortObjection> objection =
                    JudgePort(staged, driver.ports[static_cast<size_t>(p)])) {
                objection->driver = d;
                objection->port = p;
                objections.push_back(std::move(*objection));
            }
        }
    }
    return objections;
}

CheckResult CheckDriverAcceptance(ConfigModel& model, platform::Registry& staged,
                                  ui::UserMessages& user) {
    const std::vector<PortObjection> objections = JudgeWyvel32Ports(model, staged);
    std::string refused;
    std::string discarded;
    const PortObjection* first_refused = nullptr;
    const PortObjection* first_discarded = nullptr;
    for (const PortObjection& objection : objections) {
        (objection.refused ? refused : discarded) += objection.text + ".\n";
        const PortObjection*& first = objection.refused ? first_refused : first_discarded;
        first = first == nullptr ? &objection : first;
    }
    const std::string description(DriverInfo(kWyvel32).description);
    if (first_refused != nullptr) {
        ui::ShowError(user, Format(kRefusedText, description.c_str(), refused.c_str()),
                      kRefusedCaption);
        Select(model, *first_refused);
        return {.proceed = false, .page = PageOfValue(first_refused->value)};
    }
    if (first_discarded != nullptr &&
        user.ShowMessage({Format(kDiscardedText, description.c_str(), discarded.c_str()),
                          kDiscardedCaption, ui::MessageIcon::Question, ui::MessageButtons::YesNo,
                          ui::MessageAnswer::No}) != ui::MessageAnswer::Yes) {
        Select(model, *first_discarded);
        return {.proceed = false, .page = SheetPage::DriverInfo};
    }
    return {};
}

}  // namespace qorval::applet
