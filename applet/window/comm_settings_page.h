// "Comm Settings": character format, parity, RS-485, clock mode, node addressing, oscillator
// and divisor, with the data rate they give.
#pragma once

#include <QComboBox>
#include <QLabel>
#include <QLineEdit>

#include "applet/window/config_page.h"

namespace qorval::applet::window {

class CCommSettingsPage : public ConfigPage {
    Q_OBJECT
  public:
    explicit CCommSettingsPage(CConfigSheet& sheet);

  protected:
    void Fill() override;
    void ApplyEnables() override;

  private:
    void ShowDataRate();

    QComboBox* data_bits_;
    QComboBox* stop_bits_;
    QComboBox* parity_;
    QComboBox* rs485_;
    QComboBox* clock_mode_;
    QComboBox* node_addressing_;
    QComboBox* oscillator_;
    QLineEdit* divisor_;
    QLineEdit* node_address_;
    QLabel* data_rate_;
};

}  // namespace qorval::applet::window
