// "Advanced": CRC, loopback, idle state, protocol, interface, timeouts and the SCC counts.
#pragma once

#include <QComboBox>
#include <QLineEdit>

#include "applet/window/config_page.h"

namespace qorval::applet::window {

class CAdvancedPage : public ConfigPage {
    Q_OBJECT
  public:
    explicit CAdvancedPage(CConfigSheet& sheet);

  protected:
    void Fill() override;
    void ApplyEnables() override;

  private:
    QComboBox* crc_used_;
    QComboBox* crc_preset_;
    QComboBox* loopback_;
    QComboBox* idle_state_;
    QComboBox* protocol_;
    QComboBox* interface_;
    QLineEdit* tx_timeout_;
    QLineEdit* rx_timeout_;
    QLineEdit* autoinit_size_;
    QLineEdit* idle_loop_;
    QLineEdit* min_flags_;
};

}  // namespace qorval::applet::window
