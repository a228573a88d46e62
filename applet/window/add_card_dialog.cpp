#include "applet/window/add_card_dialog.h"

#include <QDialogButtonBox>
#include <QLabel>
#include <QVBoxLayout>

#include "applet/add_rules.h"
#include "applet/card_types.h"
#include "applet/text_util.h"
#include "platform/window/qt_user_messages.h"

namespace qorval::applet::window {

namespace {

constexpr const char* kModels[] = {"Alder", "Juniper", "Larch", "Maple", "Nutmeg",
                                   "Birch", "Cedar",   "Dogwood", "Elm", "Fir",
                                   "Ginkgo", "Hazel",  "Oak",   "Pine", "Spruce"};

}  // namespace

CAddCardDialog::CAddCardDialog(QWidget* parent, const char* initial_card, ui::UserMessages& user,
                               PcmciaReader read_pcmcia)
    : QDialog(parent), address_(new QLineEdit("238", this)), model_(new QComboBox(this)),
      user_(user), read_pcmcia_(std::move(read_pcmcia)) {
    setObjectName("addCardDialog");
    setWindowTitle("Add Card");
    address_->setObjectName("baseAddress");
    model_->setObjectName("cardModel");
    for (const char* model : kModels) {
        model_->addItem(model);
    }
    model_->setCurrentText(initial_card);
    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, this);
    connect(buttons, &QDialogButtonBox::accepted, this, &CAddCardDialog::accept);
    connect(buttons, &QDialogButtonBox::rejected, this, &CAddCardDialog::reject);
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(new QLabel("Enter base I/O address for new Card: (in Hexadecimal)", this));
    layout->addWidget(address_);
    layout->addWidget(new QLabel("Card Type:", this));
    layout->addWidget(model_);
    layout->addWidget(buttons);
}

void CAddCardDialog::accept() {
    base_ = static_cast<int32_t>(ReadHex(ui::FromQString(address_->text())));
    card_ = CardFromModelName(ui::FromQString(model_->currentText()));
    if (card_ == kNutmeg) {
        base_ = ResolveNutmegAddress(base_, user_, read_pcmcia_);
    }
    QDialog::accept();
}

}  // namespace qorval::applet::window
