// "System Resources": base I/O address, interrupt, DMA channels, port mode, memory address.
#pragma once

#include <QComboBox>
#include <QLineEdit>

#include "applet/ok_checks.h"
#include "applet/window/config_page.h"

namespace qorval::applet::window {

class CSystemResourcesPage : public ConfigPage {
    Q_OBJECT
  public:
    explicit CSystemResourcesPage(CConfigSheet& sheet);

    // Where an OK-time check sends the user.
    void FocusField(FocusField field);

  protected:
    void Fill() override;
    void ApplyEnables() override;

  private:
    QLineEdit* base_;
    QComboBox* interrupt_;
    QComboBox* tx_dma_;
    QComboBox* rx_dma_;
    QComboBox* port_mode_;
    QLineEdit* memory_;
};

}  // namespace qorval::applet::window
