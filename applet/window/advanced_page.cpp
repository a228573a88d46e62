#include "applet/window/advanced_page.h"

#include "applet/field_rules.h"
#include "applet/page_edits.h"
#include "applet/page_enables.h"
#include "applet/window/choice_list.h"
#include "applet/window/config_sheet.h"
#include "applet/window/field_routing.h"

namespace qorval::applet::window {

namespace {

QLineEdit* NamedEdit(QWidget* parent, const char* name) {
    auto* edit = new QLineEdit(parent);
    edit->setObjectName(name);
    return edit;
}

}  // namespace

CAdvancedPage::CAdvancedPage(CConfigSheet& sheet)
    : ConfigPage(sheet, "advancedPage", 136, true),
      crc_used_(MakeChoiceList(this, "crcDetection", kCrcDetectionChoices)),
      crc_preset_(MakeChoiceList(this, "crcPreset", kCrcPresetChoices)),
      loopback_(MakeChoiceList(this, "loopback", kOnOffChoices)),
      idle_state_(MakeChoiceList(this, "idleState", kIdleStateChoices)),
      protocol_(MakeChoiceList(this, "protocol", kProtocolChoices)),
      interface_(MakeChoiceList(this, "interface", kInterfaceChoices)),
      tx_timeout_(NamedEdit(this, "txTimeout")),
      rx_timeout_(NamedEdit(this, "rxTimeout")),
      autoinit_size_(NamedEdit(this, "autoinitBuffSize")),
      idle_loop_(NamedEdit(this, "idleLoop")),
      min_flags_(NamedEdit(this, "minFlags")) {
    setWindowTitle("Advanced");
    AddRow("CRC Detection", crc_used_);
    AddRow("CRC Preset", crc_preset_);
    AddRow("Loopback", loopback_);
    AddRow("Idle state", idle_state_);
    AddRow("Protocol", protocol_);
    AddRow("Interface", interface_);
    AddRow("Tx Timeout", tx_timeout_, 1);
    AddRow("RxTimeout", rx_timeout_, 1);
    AddRow("A-Init Buff Size", autoinit_size_, 1);
    AddRow("IdleLoop", idle_loop_, 1);
    AddRow("MinFlags", min_flags_, 1);

    OnChoice(this, crc_used_, [this](int32_t code) { return ApplyCrcUsed(Model(), code, User()); });
    OnChoice(this, idle_state_,
             [this](int32_t code) { return ApplyIdleState(Model(), code, User()); });
    OnChoice(this, interface_,
             [this](int32_t code) { return ApplyInterface(Model(), code, User()); });
    for (auto [list, field] : {std::pair{crc_preset_, &PortEntry::CrcPreset},
                               std::pair{loopback_, &PortEntry::LoopBack}}) {
        OnChoice(this, list, [this, field](int32_t code) {
            Model().selected().*field = code;
            return FieldResult::Accepted;
        });
    }
    OnEditFinished(this, rx_timeout_, [this](const std::string& text) {
        return ApplyRxTimeout(Model(), text, User());
    });
    for (auto [edit, field] : {std::pair{tx_timeout_, &PortEntry::TxTimeout},
                               std::pair{autoinit_size_, &PortEntry::AutoinitBuffSize},
                               std::pair{idle_loop_, &PortEntry::Idleloop},
                               std::pair{min_flags_, &PortEntry::Minflags}}) {
        OnEditFinished(this, edit, [this, field](const std::string& text) {
            ApplyDecimalText(Model(), field, text);
            return FieldResult::Accepted;
        });
    }
}

void CAdvancedPage::Fill() {
    if (!HasPort()) {
        return;
    }
    const PortEntry& port = Model().selected();
    ShowCode(crc_used_, port.CrcUsed);
    ShowCode(crc_preset_, port.CrcPreset);
    ShowCode(loopback_, port.LoopBack == 1 ? 1 : 0);
    ShowCode(idle_state_, port.IdleState);
    ShowCode(protocol_, Model().driver(Model().selected_driver).driver_type == kHestabe5 ? 1 : 0);
    ShowCode(interface_, port.Interface, port.Interface == 8 ? "MIL-188" : "");
    ShowNumber(tx_timeout_, port.TxTimeout);
    ShowNumber(rx_timeout_, port.RxTimeout, 0);
    ShowNumber(autoinit_size_, port.AutoinitBuffSize);
    ShowNumber(idle_loop_, port.Idleloop);
    ShowNumber(min_flags_, port.Minflags);
}

void CAdvancedPage::ApplyEnables() {
    const AdvancedEnables on = AdvancedEnablesOf(Model());
    crc_used_->setEnabled(on.crc_detection);
    crc_preset_->setEnabled(on.crc_preset);
    idle_state_->setEnabled(on.idle_state);
    loopback_->setEnabled(on.loopback);
    tx_timeout_->setEnabled(on.tx_timeout);
    rx_timeout_->setEnabled(on.rx_timeout);
    autoinit_size_->setEnabled(on.autoinit_size);
    idle_loop_->setEnabled(on.idle_loop);
    min_flags_->setEnabled(on.min_flags);
    interface_->setEnabled(on.interface_type);
    protocol_->setEnabled(on.protocol);
}

}  // namespace qorval::applet::window
