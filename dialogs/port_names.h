#pragma once
// How the port dialogs name drivers, ports, cards and channels.

#include <cstdint>
#include <string>
#include <string_view>

namespace qorval::dialogs {

// Driver type of a driver name as the port access library lists it: "Hestabe5" 0, "Fendar5" 1,
// "Gorlin5" 2, "Wyvel32" 3, matched without regard to case (the library writes them in capitals);
// any other name 0.
uint16_t DriverTypeFromName(std::string_view name);

// Port number of a port name: "Port001" to "Port004" give 1 to 4, any other name 1.
uint16_t PortNumberFromName(std::string_view name);

// The dialogs' card name of a card type code: the configuration's model names, with code 6
// shown as "JuniperA" and code 9 and codes above 15 as "????".
std::string CardName(uint32_t cardType);

// The unknown-value text of the dialogs' card, address and channel texts.
inline constexpr char kUnknown[] = "????";

}  // namespace qorval::dialogs
