#include "dialogs/port_names.h"

#include <array>
#include <strings.h>

namespace qorval::dialogs {
namespace {

constexpr std::array<std::string_view, 4> kDriverNames = {"Hestabe5", "Fendar5", "Gorlin5",
                                                          "Wyvel32"};
constexpr std::array<std::string_view, 4> kPortNames = {"Port001", "Port002", "Port003",
                                                        "Port004"};

// The card table the dialogs were built with: it predates the Maple card (code 9) and names
// code 6 after the first of the Juniper's two variants.
constexpr std::array<std::string_view, 16> kCardNames = {
    "Birch", "Cedar", "Dogwood", "Elm",   "Fir",  "Hazel", "JuniperA", "Oak",
    "Alder", kUnknown, "Ginkgo", "Larch", "Pine", "Rowan", "Spruce",   "Nutmeg",
};

bool EqualIgnoringCase(std::string_view a, std::string_view b) {
    return a.size() == b.size() && ::strncasecmp(a.data(), b.data(), a.size()) == 0;
}

}  // namespace

uint16_t DriverTypeFromName(std::string_view name) {
    for (uint16_t type = 0; type < kDriverNames.size(); ++type) {
        if (EqualIgnoringCase(name, kDriverNames[type])) {
            return type;
        }
    }
    return 0;
}

uint16_t PortNumberFromName(std::string_view name) {
    for (uint16_t i = 0; i < kPortNames.size(); ++i) {
        if (name == kPortNames[i]) {
            return static_cast<uint16_t>(i + 1);
        }
    }
    return 1;
}

std::string CardName(uint32_t cardType) {
    return std::string(cardType < kCardNames.size() ? kCardNames[cardType] : kUnknown);
}

}  // namespace qorval::dialogs
