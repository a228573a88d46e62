// The checks run when a driver or a card is added, after the Add Card dialog closed with
// OK and before the model is changed.
#pragma once

#include <cstdint>

#include "applet/config_model.h"
#include "applet/model_edits.h"
#include "platform/user_messages.h"

namespace qorval::applet {

// Checks for adding a driver of type `type` with a card `card` at `base`.
[[nodiscard]] bool CheckAddDriver(const ConfigModel& model, int32_t type, int32_t base,
                                  int32_t card, ui::UserMessages& user);

// Checks for adding a card `card` at `base` to the selected driver.
[[nodiscard]] bool CheckAddCard(const ConfigModel& model, int32_t base, int32_t card,
                                ui::UserMessages& user);

// The Add Card dialog's OK for a Nutmeg card: the address PC card services gave the card
// when it is found, else the typed address after telling the user no card was found.
int32_t ResolveNutmegAddress(int32_t typed_base, ui::UserMessages& user,
                             const PcmciaReader& read_pcmcia);

}  // namespace qorval::applet
