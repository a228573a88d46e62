// The driver type and card type tables of the configuration tool.
#pragma once

#include <array>
#include <cstdint>
#include <string_view>

namespace qorval::applet {

// Driver type codes; the same codes select a driver in the port access library.
enum DriverType : int32_t {
    kHestabe5 = 0,  // SCC asynchronous
    kFendar5 = 1,   // SCC SDLC/HDLC
    kGorlin5 = 2,   // SCC monosync/bisync
    kWyvel32 = 3,   // 16C32 SDLC/HDLC
};
inline constexpr int kDriverTypeCount = 4;

struct DriverTypeInfo {
    std::string_view name;         // service key and "System.ini" section name
    std::string_view description;  // shown in messages, tree labels and the log
    int32_t max_ports;             // capacity used by Add Card
    std::string_view device_file;  // the "device=" file of the Windows 95/98 store
};

// Row of the driver type table; `type` must be 0..3.
const DriverTypeInfo& DriverInfo(int32_t type);

// Description of Wyvel32 on the Windows 95/98 store.
inline constexpr std::string_view kWyvel32IniDescription = "Wyvel32 - SDLC/HDLC";

// Card type codes.
enum CardType : int32_t {
    kBirch = 0,
    kCedar = 1,
    kDogwood = 2,
    kElm = 3,
    kFir = 4,
    kHazel = 5,
    kJuniper = 6,
    kOak = 7,
    kAlder = 8,
    kMaple = 9,
    kGinkgo = 10,
    kLarch = 11,
    kPine = 12,
    kRowan = 13,
    kSpruce = 14,
    kNutmeg = 15,
};
inline constexpr int kCardTypeCount = 16;

// Channels per card type, indexed by card code.
inline constexpr std::array<int32_t, kCardTypeCount> kPortsPerCard = {2, 2, 2, 2, 2, 2, 1, 1,
                                                                      1, 2, 1, 1, 1, 1, 1, 1};

// True for the codes 0..15.
bool IsKnownCard(int32_t card);

// Model designation of a card code, or an empty view for an unknown code.
std::string_view CardModelName(int32_t card);

// Channels of a card code; an unknown code counts as one channel so that walks over the
// ports of a driver always advance.
int32_t PortsOfCard(int32_t card);

// Card code of a model designation (exact), or -1.
int32_t CardFromModelName(std::string_view model);

}  // namespace qorval::applet
