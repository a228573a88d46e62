// "Buffer Info": sizes and numbers of the transmit and receive buffers.
#pragma once

#include <QLineEdit>

#include "applet/window/config_page.h"

namespace qorval::applet::window {

class CBufferInfoPage : public ConfigPage {
    Q_OBJECT
  public:
    explicit CBufferInfoPage(CConfigSheet& sheet);

  protected:
    void Fill() override;
    void ApplyEnables() override;

  private:
    QLineEdit* tx_size_;
    QLineEdit* tx_count_;
    QLineEdit* rx_size_;
    QLineEdit* rx_count_;
};

}  // namespace qorval::applet::window
