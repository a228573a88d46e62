// "Send Character": one byte, given in decimal, sent on "&Send" as often as the user likes; it
// stays open until "&Close". An entry that is not a byte is refused and the last byte taken
// goes out instead.
#include <QDialog>
#include <QFormLayout>
#include <QLineEdit>
#include <QPushButton>
#include <QVBoxLayout>

#include "analyser/analyser_app.h"
#include "analyser/port_control.h"
#include "analyser/window/dialogs/analyser_dialogs.h"
#include "analyser/window/dialogs/dialog_parts.h"

namespace qorval::analyser {
namespace {

constexpr const char* kTitle = "Send Character";
constexpr const char* kValueLabel = "Decimal value of\ncharacter to send:";
constexpr const char* kSend = "&Send";

class CSendCharDlg : public QDialog {
  public:
    CSendCharDlg(QWidget* parent, CAnalyserApp& app, ui::UserMessages& messages)
        : QDialog(parent), app_(app), messages_(messages), value_(new QLineEdit(this)) {
        setWindowTitle(kTitle);
        value_->setObjectName("characterValue");
        value_->setText(QString::number(character_));
        auto* send = dialogs::MakeButton(kSend, "sendButton", this);
        send->setDefault(true);
        auto* form = new QFormLayout;
        form->addRow(kValueLabel, value_);
        auto* layout = new QVBoxLayout(this);
        layout->addLayout(form);
        layout->addLayout(dialogs::MakeButtonRow({send, dialogs::MakeCloseButton(*this)}));

        connect(send, &QPushButton::clicked, this, &CSendCharDlg::Send);
    }

  private:
    void Send() {
        if (const auto value = dialogs::TakeInteger(messages_, *value_, 0, UINT8_MAX)) {
            character_ = static_cast<uint8_t>(*value);
        }
        TransmitCommCharCommand(app_, character_);
    }

    CAnalyserApp& app_;
    ui::UserMessages& messages_;
    QLineEdit* value_;
    uint8_t character_ = 0;
};

}  // namespace

void RunTransmitCharDialog(QWidget* parent, CAnalyserApp& app, ui::UserMessages& messages) {
    if (!app.CheckPortSelected()) {
        return;
    }
    CSendCharDlg dialog(parent, app, messages);
    dialog.exec();
}

}  // namespace qorval::analyser
