// CAddCardDialog ("Add Card"): the base I/O address and the model of a new card.
#pragma once

#include <QComboBox>
#include <QDialog>
#include <QLineEdit>

#include "applet/model_edits.h"
#include "platform/user_messages.h"

namespace qorval::applet::window {

class CAddCardDialog : public QDialog {
    Q_OBJECT
  public:
    CAddCardDialog(QWidget* parent, const char* initial_card, ui::UserMessages& user,
                   PcmciaReader read_pcmcia);

    // After OK: the address (hexadecimal as typed, or from PC card services) and the card code.
    int32_t BaseAddress() const { return base_; }
    int32_t Card() const { return card_; }

    void accept() override;

  private:
    QLineEdit* address_;
    QComboBox* model_;
    ui::UserMessages& user_;
    PcmciaReader read_pcmcia_;
    int32_t base_ = 0;
    int32_t card_ = 0;
};

}  // namespace qorval::applet::window
