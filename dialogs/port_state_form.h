#pragma once
// What the "Port Information" dialog does with its port, without the widgets: the texts it
// reads, the controls the capability mask enables, the data rate and the record OK writes.

#include <cstdint>
#include <string>

#include "dialogs/port_state_texts.h"
#include "platform/user_messages.h"

class Qorval_Port;

namespace qorval::dialogs {

class PortStateForm {
  public:
    // `port` is the caller's open port object; with none every read fails.
    explicit PortStateForm(Qorval_Port* port);

    // Building the dialog: every text "N/A", then the Port Info texts from PortInfo and the
    // Port State texts from PortState, each left at "N/A" when its read fails.
    void Read();
    // When the window opens: PortInfo again for the capability mask. A failed read shows
    // "Error getting port info!" and enables no control; when no driver host answers either,
    // a second message says how to start one.
    void ReadCapabilities(ui::UserMessages& user);

    const InfoTexts& Info() const { return info_; }
    const StateTexts& State() const { return state_; }
    // The controls change the texts of the Port State group.
    void SetText(StateField field, std::string text) { state_[field] = std::move(text); }
    bool Enabled(StateField field) const { return FieldEnabled(field, capabilities_); }
    // "Tx Data Rate:" from the texts as they stand.
    std::string DataRate() const { return DataRateText(info_, state_); }

    // OK: the port's state read afresh, the texts written over it, the record written to the
    // port. A failed read or write shows "Error setting port state!"; nothing is written when
    // the read fails, as the record could not keep the driver's values.
    void Accept(ui::UserMessages& user);

  private:
    Qorval_Port* port_;
    InfoTexts info_ = UnreadInfoTexts();
    StateTexts state_ = UnreadStateTexts();
    uint32_t capabilities_ = 0;
};

}  // namespace qorval::dialogs
