#include "dialogs/port_state_form.h"

#include "dialogs/dialog_texts.h"
#include "portaccess/driver_host_hint.h"
#include "portaccess/qorval_port.h"

namespace qorval::dialogs {

PortStateForm::PortStateForm(Qorval_Port* port) : port_(port) {}

void PortStateForm::Read() {
    info_ = UnreadInfoTexts();
    state_ = UnreadStateTexts();
    if (port_ == nullptr) {
        return;
    }
    if (PortInfo info{}; port_->GetPortInfo(info) == QORVAL_OK) {
        info_ = FormatPortInfo(info);
    }
    if (PortState state{}; port_->GetPortState(state) == QORVAL_OK) {
        state_ = FormatPortState(state);
    }
}

void PortStateForm::ReadCapabilities(ui::UserMessages& user) {
    PortInfo info{};
    if (port_ != nullptr && port_->GetPortInfo(info) == QORVAL_OK) {
        capabilities_ = info.capabilities;
        return;
    }
    capabilities_ = 0;
    ui::ShowWarning(user, text::kErrorGettingPortInfo, text::kErrorCaption);
    // The port's requests go through the driver host: when none answers, say how to start it.
    SystemInfo system{};
    if (Qorval_Port().GetSystemInfo(system) != QORVAL_OK) {
        ui::ShowWarning(user, DriverHostHint(), text::kPortInformationCaption);
    }
}

void PortStateForm::Accept(ui::UserMessages& user) {
    PortState record{};
    if (port_ == nullptr || port_->GetPortState(record) != QORVAL_OK ||
        port_->SetPortState(BuildPortState(state_, record)) != QORVAL_OK) {
        ui::ShowWarning(user, text::kErrorSettingPortState, text::kErrorCaption);
    }
}

}  // namespace qorval::dialogs
