// "Driver Info": the card type and channel of the selected port, the driver and port enable
// boxes, and adding and removing drivers and cards.
#pragma once

#include <QCheckBox>
#include <QLineEdit>
#include <QMenu>
#include <QPushButton>

#include "applet/model_edits.h"
#include "applet/window/config_page.h"

namespace qorval::applet::window {

class CDriverInfoPage : public ConfigPage {
    Q_OBJECT
  public:
    explicit CDriverInfoPage(CConfigSheet& sheet);

    void Activate() override;

    // The Add Driver pop-up with its grayed items, as the button shows it.
    QMenu* AddDriverMenu() { return &add_driver_menu_; }
    // Adding a driver of `type`: the Add Card dialog, the add-time checks, the edit.
    void AddDriverOfType(int32_t type);

  protected:
    void Fill() override;
    void ApplyEnables() override;

  private:
    void ShowAddDriverMenu();
    void AddCardToDriver();
    void RemoveSelectedDriver();
    void RemoveSelectedCard();
    void Edited();
    PcmciaReader PcmciaOfStore();

    QLineEdit* card_type_;
    QLineEdit* channel_;
    QCheckBox* driver_enabled_;
    QCheckBox* port_enabled_;
    QPushButton* add_driver_;
    QPushButton* remove_driver_;
    QPushButton* add_card_;
    QPushButton* remove_card_;
    QMenu add_driver_menu_;
};

}  // namespace qorval::applet::window
