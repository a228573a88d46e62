// The edits the property pages make to the configuration model: new port defaults,
// adding and removing drivers and cards, and moving a card's base address or interrupt.
#pragma once

#include <cstdint>
#include <functional>

#include "applet/config_model.h"
#include "applet/pcmcia_resources.h"
#include "platform/user_messages.h"

namespace qorval::applet {

// Reads the resources PC card services gave a Nutmeg card.
using PcmciaReader = std::function<PcmciaResources()>;

// Sets every field of a new port to the defaults of its driver type; the name is
// "NewPort", which the caller replaces.
void ApplyNewPortDefaults(PortEntry& port, int32_t driver_type);

// Adds a driver of type `type` with one card of type `card` at `base`; the add-time checks
// have passed. Returns false (model unchanged) when the model already holds four drivers.
bool AddDriver(ConfigModel& model, int32_t type, int32_t base, int32_t card, ui::UserMessages& user,
               const PcmciaReader& read_pcmcia);

// Adds a card of type `card` at `base` to the selected driver; the add-time checks have
// passed. Refuses with a message when the driver has no room. Returns whether it was added.
bool AddCard(ConfigModel& model, int32_t base, int32_t card, ui::UserMessages& user,
             const PcmciaReader& read_pcmcia);

// Removes the selected driver; selection goes to (0, 0).
void RemoveDriver(ConfigModel& model);

// Removes the card of the selected port; refuses with a message when it is the driver's
// only card. Returns whether it was removed.
bool RemoveCard(ConfigModel& model, ui::UserMessages& user);

// Every port of the selected driver at `old_base` moves to `new_base`.
void MoveCardBase(ConfigModel& model, int32_t new_base, int32_t old_base);

// Every port of the selected driver on the selected port's card takes interrupt `irq`.
void MoveCardInterrupt(ConfigModel& model, int32_t irq);

// The capacity refusal shared by Add Card and its add-time check: true when the selected
// driver can take another card, else shows the message and returns false.
bool CheckCardCapacity(const ConfigModel& model, ui::UserMessages& user);

}  // namespace qorval::applet
