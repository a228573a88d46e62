#include "terminal/window/protocol_selection_dialog.h"

#include <QComboBox>
#include <QDialogButtonBox>
#include <QFormLayout>
#include <QLabel>

#include "platform/window/qt_user_messages.h"
#include "terminal/window/window_texts.h"

namespace qorval::terminal::window {

ProtocolSelectionDialog::ProtocolSelectionDialog(QWidget* parent)
    : QDialog(parent), protocol_(new QComboBox(this)) {
    setObjectName("protocolSelectionDialog");
    setWindowTitle(kProtocolCaption);
    protocol_->setObjectName("protocol");
    for (Protocol p : {Protocol::Xmodem, Protocol::Xmodem1K, Protocol::Ymodem, Protocol::YmodemG}) {
        protocol_->addItem(ui::ToQString(ProtocolName(p)));
    }
    protocol_->setCurrentIndex(0);

    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, this);
    connect(buttons, &QDialogButtonBox::accepted, this, &QDialog::accept);
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);

    auto* layout = new QFormLayout(this);
    auto* label = new QLabel(kProtocolLabel, this);
    label->setBuddy(protocol_);
    layout->addRow(label, protocol_);
    layout->addRow(buttons);
}

Protocol ProtocolSelectionDialog::Chosen() const {
    return ProtocolFromChoice(protocol_->currentIndex() + 1);
}

std::optional<Protocol> ProtocolSelectionDialog::Ask(QWidget* parent) {
    ProtocolSelectionDialog dialog(parent);
    if (dialog.exec() != QDialog::Accepted) {
        return std::nullopt;
    }
    return dialog.Chosen();
}

}  // namespace qorval::terminal::window
