// "Clocking Options": clock sources, DPLL encoding, source and divisor, BRG source, TxC mode.
#pragma once

#include <QComboBox>

#include "applet/window/config_page.h"

namespace qorval::applet::window {

class CClockingOptionsPage : public ConfigPage {
    Q_OBJECT
  public:
    explicit CClockingOptionsPage(CConfigSheet& sheet);

  protected:
    void Fill() override;
    void ApplyEnables() override;

  private:
    QComboBox* tx_clock_;
    QComboBox* rx_clock_;
    QComboBox* dpll_;
    QComboBox* brg_source_;
    QComboBox* dpll_source_;
    QComboBox* dpll_divisor_;
    QComboBox* txc_mode_;
};

}  // namespace qorval::applet::window
