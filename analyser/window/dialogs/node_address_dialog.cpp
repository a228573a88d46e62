// "Set Node Address": one byte, starting at the "NODE" setting. OK takes it only when it is an
// integer from 0 to 255; SetNodeAddressCommand then stores it and gives it to the port.
#include <QDialog>
#include <QDialogButtonBox>
#include <QFormLayout>
#include <QLineEdit>
#include <QVBoxLayout>

#include "analyser/analyser_app.h"
#include "analyser/port_control.h"
#include "analyser/window/dialogs/analyser_dialogs.h"
#include "analyser/window/dialogs/dialog_parts.h"

namespace qorval::analyser {
namespace {

constexpr const char* kTitle = "Set Node Address";
constexpr const char* kAddressLabel = "Node Address:";

class CNodeAddressDlg : public QDialog {
  public:
    CNodeAddressDlg(QWidget* parent, uint8_t node, ui::UserMessages& messages)
        : QDialog(parent), messages_(messages), address_(new QLineEdit(this)) {
        setWindowTitle(kTitle);
        address_->setObjectName("nodeAddress");
        address_->setText(QString::number(node));
        auto* form = new QFormLayout;
        form->addRow(kAddressLabel, address_);
        auto* layout = new QVBoxLayout(this);
        layout->addLayout(form);
        layout->addWidget(dialogs::MakeOkCancelButtons(*this));
    }

    uint8_t Address() const { return value_; }

    // A refused entry keeps the dialog open on the edit.
    void accept() override {
        if (const auto value = dialogs::TakeInteger(messages_, *address_, 0, UINT8_MAX)) {
            value_ = static_cast<uint8_t>(*value);
            QDialog::accept();
        }
    }

  private:
    ui::UserMessages& messages_;
    QLineEdit* address_;
    uint8_t value_ = 0;
};

}  // namespace

void RunNodeAddressDialog(QWidget* parent, CAnalyserApp& app, ui::UserMessages& messages) {
    if (!app.CheckPortSelected()) {
        return;
    }
    CNodeAddressDlg dialog(parent, app.Parms().node, messages);
    if (dialog.exec() == QDialog::Accepted) {
        SetNodeAddressCommand(app, dialog.Address());
    }
}

}  // namespace qorval::analyser
