#include "applet/add_rules.h"

#include "applet/resource_use.h"
#include "applet/text_util.h"

namespace qorval::applet {

namespace {

constexpr const char* kInUseForDriver =
    "IO Address %X is in use by %s on the %s driver.\nIn order to add a new driver, choose a "
    "different address.";
constexpr const char* kInUseForCard =
    "IO Address %X is in use by %s on the %s driver.\nIn order to add a new card, choose a "
    "different address.";
constexpr const char* kAddressConflict = "IO Address Conflict";
constexpr const char* kInvalidCard = "Invalid Card";
constexpr const char* kOnlyForWyvel32 =
    "The Oak, Pine, and Rowan cards can only be used with the 16C32 SDLC/HDLC driver.";
constexpr const char* kWyvel32Cards =
    "The 16C32 SDLC/HDLC driver only works with the Oak, Pine, and Rowan cards.";
constexpr const char* kOnlyForHestabe5 =
    "The Nutmeg and Spruce cards can only be used with the HESTABE5 driver.";
constexpr const char* kFoundPcmciaAddress = "Found PCMCIA Card configured at address=%lXh";
constexpr const char* kNoNutmegFound =
    "No Nutmeg cards were configured by PCMCIA services,\nInstall Card before adding driver.";
constexpr const char* kNoCardsFound = "No Cards Found";

bool IsIusc(int32_t card) {
    return card == kOak || card == kPine || card == kRowan;
}

// The rules shared by Add Driver and Add Card, in their order.
bool CheckAddition(const ConfigModel& model, int32_t type, int32_t base, int32_t card,
                   const char* in_use_text, ui::UserMessages& user) {
    if (const auto owner = FindBaseUser(model, base)) {
        const DriverEntry& entry = model.driver(owner->driver);
        ShowError(user,
                  Format(in_use_text, static_cast<unsigned>(base),
                         entry.ports[static_cast<size_t>(owner->port)].name.c_str(),
                         entry.description.c_str()),
                  kAddressConflict);
        return false;
    }
    if (IsIusc(card) && type != kWyvel32) {
        ShowError(user, kOnlyForWyvel32, kInvalidCard);
        return false;
    }
    if (type == kWyvel32 && !IsIusc(card)) {
        ShowError(user, kWyvel32Cards, kInvalidCard);
        return false;
    }
    if ((card == kSpruce || card == kNutmeg) && type != kHestabe5) {
        ShowError(user, kOnlyForHestabe5, kInvalidCard);
        return false;
    }
    return true;
}

}  // namespace

bool CheckAddDriver(const ConfigModel& model, int32_t type, int32_t base, int32_t card,
                    ui::UserMessages& user) {
    return CheckAddition(model, type, base, card, kInUseForDriver, user);
}

bool CheckAddCard(const ConfigModel& model, int32_t base, int32_t card, ui::UserMessages& user) {
    const int32_t type = model.driver(model.selected_driver).driver_type;
    return CheckAddition(model, type, base, card, kInUseForCard, user) &&
           CheckCardCapacity(model, user);
}

int32_t ResolveNutmegAddress(int32_t typed_base, ui::UserMessages& user,
                             const PcmciaReader& read_pcmcia) {
    const PcmciaResources found = read_pcmcia ? read_pcmcia() : PcmciaResources{};
    if (found.found && found.has_io_base) {
        ShowPlain(user, Format(kFoundPcmciaAddress, static_cast<unsigned long>(found.io_base)));
        return static_cast<int32_t>(found.io_base);
    }
    ShowWarning(user, kNoNutmegFound, kNoCardsFound);
    return typed_base;
}

}  // namespace qorval::applet
