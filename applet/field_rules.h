// The rules a property page applies when one field of the selected port changes. Each
// function checks the new value, tells the user why a value is refused, and changes the
// model only when the value is accepted.
#pragma once

#include <cstdint>
#include <string_view>

#include "applet/config_model.h"
#include "platform/user_messages.h"

namespace qorval::applet {

enum class FieldResult {
    Accepted,  // the model holds the new value
    Refused,   // the model is unchanged; the page shows the stored value again
    KeptText,  // the model is unchanged but the page keeps the typed text
};

// System Resources page.
FieldResult ApplyBaseAddress(ConfigModel& model, std::string_view text, ui::UserMessages& user);
FieldResult ApplyMemoryAddress(ConfigModel& model, std::string_view text, ui::UserMessages& user);
FieldResult ApplyInterrupt(ConfigModel& model, int32_t irq, ui::UserMessages& user);
FieldResult ApplyPortMode(ConfigModel& model, int32_t mode, ui::UserMessages& user);
// Sets one DMA channel (kNotSet for "None"); in half duplex the other follows.
void ApplyDmaChannel(ConfigModel& model, bool transmit, int32_t channel);

// Buffer Info page.
enum class BufferField { TxBuffSize, TxBuffers, RxBuffSize, RxBuffers };
FieldResult ApplyBufferValue(ConfigModel& model, BufferField field, std::string_view text,
                             ui::UserMessages& user);

// Card memory that Wyvel32 buffers need: (size + 16) x count for both directions.
uint64_t OnboardMemoryNeeded(const PortEntry& port);
inline constexpr uint64_t kOnboardMemory = 262144;

// Advanced page.
FieldResult ApplyCrcUsed(ConfigModel& model, int32_t code, ui::UserMessages& user);
FieldResult ApplyIdleState(ConfigModel& model, int32_t code, ui::UserMessages& user);
FieldResult ApplyInterface(ConfigModel& model, int32_t code, ui::UserMessages& user);
FieldResult ApplyRxTimeout(ConfigModel& model, std::string_view text, ui::UserMessages& user);

// Clocking Options page.
FieldResult ApplyDpll(ConfigModel& model, int32_t code, ui::UserMessages& user);
FieldResult ApplyDpllSource(ConfigModel& model, int32_t code, ui::UserMessages& user);

}  // namespace qorval::applet
