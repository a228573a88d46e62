#include "applet/card_types.h"

namespace qorval::applet {

namespace {

constexpr std::array<DriverTypeInfo, kDriverTypeCount> kDriverTable = {{
    {"Hestabe5", "SCC Asynchronous", 4, "HESTABE5.VXD"},
    {"Fendar5", "SCC SDLC/HDLC", 4, "FENDAR5.VXD"},
    {"Gorlin5", "SCC Monosync/Bisync", 2, "GORLIN5.VXD"},
    {"Wyvel32", "16C32 SDLC/HDLC", 2, "WYVEL32.VXD"},
}};

constexpr std::array<std::string_view, kCardTypeCount> kCardModels = {
    "Birch", "Cedar", "Dogwood", "Elm",   "Fir",  "Hazel", "Juniper", "Oak",
    "Alder", "Maple", "Ginkgo",  "Larch", "Pine", "Rowan", "Spruce",  "Nutmeg",
};

}  // namespace

const DriverTypeInfo& DriverInfo(int32_t type) {
    return kDriverTable.at(static_cast<size_t>(type));
}

bool IsKnownCard(int32_t card) {
    return card >= 0 && card < kCardTypeCount;
}

std::string_view CardModelName(int32_t card) {
    return IsKnownCard(card) ? kCardModels[static_cast<size_t>(card)] : std::string_view{};
}

int32_t PortsOfCard(int32_t card) {
    return IsKnownCard(card) ? kPortsPerCard[static_cast<size_t>(card)] : 1;
}

int32_t CardFromModelName(std::string_view model) {
    for (int32_t code = 0; code < kCardTypeCount; ++code) {
        if (kCardModels[static_cast<size_t>(code)] == model) {
            return code;
        }
    }
    return -1;
}

}  // namespace qorval::applet
