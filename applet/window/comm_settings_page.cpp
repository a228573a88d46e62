#include "applet/window/comm_settings_page.h"

#include <QGroupBox>
#include <QVBoxLayout>

#include "applet/data_rate.h"
#include "applet/page_edits.h"
#include "applet/page_enables.h"
#include "applet/text_util.h"
#include "applet/window/choice_list.h"
#include "applet/window/config_sheet.h"
#include "applet/window/field_routing.h"

namespace qorval::applet::window {

namespace {

QComboBox* OnOffList(QWidget* parent, const char* name) {
    return MakeChoiceList(parent, name, kOnOffChoices);
}

}  // namespace

CCommSettingsPage::CCommSettingsPage(CConfigSheet& sheet)
    : ConfigPage(sheet, "commSettingsPage", 107, true),
      data_bits_(MakeChoiceList(this, "dataBits", kDataBitsChoices)),
      stop_bits_(MakeChoiceList(this, "stopBits", kStopBitsChoices)),
      parity_(MakeChoiceList(this, "parity", kParityChoices)),
      rs485_(OnOffList(this, "rs485")),
      clock_mode_(MakeChoiceList(this, "clockMode", kClockModeChoices)),
      node_addressing_(OnOffList(this, "nodeAddressing")),
      oscillator_(new QComboBox(this)),
      divisor_(new QLineEdit(this)),
      node_address_(new QLineEdit(this)),
      data_rate_(new QLabel(this)) {
    setWindowTitle("Comm Settings");
    oscillator_->setObjectName("oscillator");
    for (const char* value : kOscillatorTexts) {
        oscillator_->addItem(value);
    }
    divisor_->setObjectName("divisor");
    node_address_->setObjectName("nodeAddress");
    data_rate_->setObjectName("dataRate");
    AddRow("Data Bits", data_bits_);
    AddRow("Stop Bits", stop_bits_);
    AddRow("Parity", parity_);
    AddRow("RS-485", rs485_);
    AddRow("Clock Mode", clock_mode_);
    AddRow("Node Addressing", node_addressing_, 1);
    AddRow("Node Address", node_address_, 1);
    AddRow("Oscillator Value", oscillator_, 1);
    AddRow("Divisor", divisor_, 1);
    auto* frame = new QGroupBox("Calculated Data Rate", this);
    (new QVBoxLayout(frame))->addWidget(data_rate_);
    Form()->addWidget(frame, 5, 0, 1, 4);

    const auto plain = [this](QComboBox* list, int32_t PortEntry::*field) {
        OnChoice(this, list, [this, field](int32_t code) {
            Model().selected().*field = code;
            return FieldResult::Accepted;
        });
    };
    plain(data_bits_, &PortEntry::DataBits);
    plain(stop_bits_, &PortEntry::StopBits);
    plain(parity_, &PortEntry::Parity);
    plain(rs485_, &PortEntry::RS_485);
    plain(node_addressing_, &PortEntry::UseNodeAddress);
    connect(clock_mode_, &QComboBox::activated, this, [this] {
        ApplyClockModeText(Model(), ui::FromQString(clock_mode_->currentText()));
        ShowDataRate();
    });
    connect(oscillator_, &QComboBox::activated, this, [this] {
        ApplyOscillatorText(Model(), ui::FromQString(oscillator_->currentText()));
        ShowDataRate();
    });
    // The divisor is taken on every keystroke, so the rate follows the typing.
    connect(divisor_, &QLineEdit::textEdited, this, [this](const QString& text) {
        ApplyDecimalText(Model(), &PortEntry::Divisor, ui::FromQString(text));
        ShowDataRate();
    });
    OnEditFinished(this, node_address_, [this](const std::string& text) {
        ApplyDecimalText(Model(), &PortEntry::SyncNodeAddress, text);
        return FieldResult::Accepted;
    });
}

void CCommSettingsPage::ShowDataRate() {
    data_rate_->setText(
        HasPort() ? ui::ToQString(Format("%.0f bits per second",
                                         ComputeDataRate(Model(), Model().selected_driver,
                                                         Model().selected_port)))
                  : QString());
}

void CCommSettingsPage::Fill() {
    if (HasPort()) {
        const PortEntry& port = Model().selected();
        ShowCode(data_bits_, port.DataBits);
        ShowCode(stop_bits_, port.StopBits);
        ShowCode(parity_, port.Parity);
        ShowCode(rs485_, port.RS_485 == 1 ? 1 : 0);
        ShowCode(clock_mode_, port.ClockX, Format("X%d", port.ClockX));
        ShowCode(node_addressing_, port.UseNodeAddress == 1 ? 1 : 0);
        ShowText(oscillator_, port.Oscillator);
        ShowNumber(divisor_, port.Divisor);
        ShowNumber(node_address_, port.SyncNodeAddress);
    }
    ShowDataRate();
}

void CCommSettingsPage::ApplyEnables() {
    const CommSettingsEnables on = CommSettingsEnablesOf(Model());
    data_bits_->setEnabled(on.data_bits);
    stop_bits_->setEnabled(on.stop_bits);
    clock_mode_->setEnabled(on.clock_mode);
    parity_->setEnabled(on.parity);
    rs485_->setEnabled(on.rs485);
    oscillator_->setEnabled(on.oscillator);
    divisor_->setEnabled(on.divisor);
    node_addressing_->setEnabled(on.node_addressing);
    node_address_->setEnabled(on.node_address);
}

}  // namespace qorval::applet::window
