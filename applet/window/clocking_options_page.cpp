#include "applet/window/clocking_options_page.h"

#include "applet/field_rules.h"
#include "applet/page_enables.h"
#include "applet/window/choice_list.h"
#include "applet/window/config_sheet.h"
#include "applet/window/field_routing.h"

namespace qorval::applet::window {

namespace {

QComboBox* ClockList(QWidget* parent, const char* name) {
    return MakeChoiceList(parent, name, kClockChoices);
}

}  // namespace

CClockingOptionsPage::CClockingOptionsPage(CConfigSheet& sheet)
    : ConfigPage(sheet, "clockingOptionsPage", 135, true),
      tx_clock_(ClockList(this, "transmitClock")),
      rx_clock_(ClockList(this, "receiveClock")),
      dpll_(MakeChoiceList(this, "dpll", kDpllChoices)),
      brg_source_(MakeChoiceList(this, "brgSource", kBrgSourceChoices)),
      dpll_source_(MakeChoiceList(this, "dpllSource", kDpllSourceChoices)),
      dpll_divisor_(MakeChoiceList(this, "dpllDivisor", kDpllDivisorChoices)),
      txc_mode_(MakeChoiceList(this, "txcMode", kTxcModeChoices)) {
    setWindowTitle("Clocking Options");
    AddRow("Transmit Clock", tx_clock_);
    AddRow("Receive Clock", rx_clock_);
    AddRow("BRG Source", brg_source_);
    AddRow("TXC Mode", txc_mode_);
    AddRow("DPLL", dpll_, 1);
    AddRow("DPLL Source", dpll_source_, 1);
    AddRow("DPLL Divisor", dpll_divisor_, 1);

    const auto plain = [this](QComboBox* list, int32_t PortEntry::*field) {
        OnChoice(this, list, [this, field](int32_t code) {
            Model().selected().*field = code;
            return FieldResult::Accepted;
        });
    };
    plain(tx_clock_, &PortEntry::TxClock);
    plain(rx_clock_, &PortEntry::RxClock);
    plain(brg_source_, &PortEntry::BRGSource);
    plain(dpll_divisor_, &PortEntry::DPLLDivisor);
    plain(txc_mode_, &PortEntry::TXCMode);
    OnChoice(this, dpll_, [this](int32_t code) { return ApplyDpll(Model(), code, User()); });
    OnChoice(this, dpll_source_,
             [this](int32_t code) { return ApplyDpllSource(Model(), code, User()); });
}

void CClockingOptionsPage::Fill() {
    if (!HasPort()) {
        return;
    }
    const PortEntry& port = Model().selected();
    ShowCode(tx_clock_, port.TxClock);
    ShowCode(rx_clock_, port.RxClock);
    ShowCode(dpll_, port.Dpll, port.Dpll == kDpllDisabled ? "Disabled" : "");
    ShowCode(brg_source_, port.BRGSource);
    ShowCode(dpll_source_, port.DPLLSource);
    ShowCode(dpll_divisor_, port.DPLLDivisor);
    ShowCode(txc_mode_, port.TXCMode == 0 || port.TXCMode == 1 ? port.TXCMode : -1);
}

void CClockingOptionsPage::ApplyEnables() {
    const ClockingOptionsEnables on = ClockingOptionsEnablesOf(Model());
    tx_clock_->setEnabled(on.clocks);
    rx_clock_->setEnabled(on.clocks);
    dpll_->setEnabled(on.dpll);
    dpll_source_->setEnabled(on.dpll_source);
    brg_source_->setEnabled(on.brg_source);
    txc_mode_->setEnabled(on.txc_mode);
    dpll_divisor_->setEnabled(on.dpll_divisor);
}

}  // namespace qorval::applet::window
