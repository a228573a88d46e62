#include "dialogs/window/port_state_window.h"

#include <QComboBox>
#include <QFormLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRegularExpressionValidator>
#include <QSignalBlocker>
#include <QVBoxLayout>
#include <string>

#include "dialogs/dialog_texts.h"

namespace qorval::dialogs {
namespace {

using ui::ToQString;

// An edit field takes decimal digits only, at most as many as its largest value has.
QLineEdit* MakeEdit(const StateFieldSpec& field) {
    auto* edit = new QLineEdit;
    const int digits = static_cast<int>(std::to_string(field.maxValue).size());
    edit->setValidator(new QRegularExpressionValidator(
        QRegularExpression(QStringLiteral("\\d{0,%1}").arg(digits)), edit));
    return edit;
}

QComboBox* MakeList(const StateFieldSpec& field) {
    auto* list = new QComboBox;
    for (std::string_view entry : field.list) {
        list->addItem(ToQString(entry));
    }
    return list;
}

// Shows `text` in a drop-down list. A value outside the list's entries (the driver's own value,
// or "N/A" when nothing could be read) is shown as an extra entry, so it stays choosable.
void ShowInList(QComboBox& list, const QString& text) {
    int index = list.findText(text, Qt::MatchExactly);
    if (index < 0) {
        list.addItem(text);
        index = list.count() - 1;
    }
    list.setCurrentIndex(index);
}

}  // namespace

PortStateWindow::PortStateWindow(Qorval_Port* port, QWidget* parent)
    : QDialog(parent),
      form_(port),
      dataRate_(new QLabel),
      okButton_(new QPushButton(text::kOkButton)),
      cancelButton_(new QPushButton(text::kCancelButton)) {
    setObjectName("portStateDialog");
    setWindowTitle(text::kPortInformationCaption);
    dataRate_->setObjectName("txDataRate");
    okButton_->setObjectName("okButton");
    cancelButton_->setObjectName("cancelButton");
    okButton_->setDefault(true);

    auto* info = new QGroupBox(text::kPortInfoGroup);
    auto* infoLayout = new QFormLayout(info);
    for (int f = 0; f < kInfoFieldCount; ++f) {
        const InfoFieldSpec& field = InfoFields()[f];
        infoTexts_[f] = new QLabel;
        infoTexts_[f]->setTextFormat(Qt::PlainText);  // the driver's texts, never markup
        infoTexts_[f]->setObjectName(ToQString(field.objectName));
        infoLayout->addRow(ToQString(field.label), infoTexts_[f]);
    }

    auto* state = new QGroupBox(text::kPortStateGroup);
    auto* stateLayout = new QFormLayout(state);
    for (int f = 0; f < kStateFieldCount; ++f) {
        const StateFieldSpec& field = StateFields()[f];
        QWidget* control = nullptr;
        if (field.list.empty()) {
            control = edits_[f] = MakeEdit(field);
        } else {
            control = lists_[f] = MakeList(field);
        }
        control->setObjectName(ToQString(field.objectName));
        stateLayout->addRow(ToQString(field.label), control);
    }

    auto* rate = new QHBoxLayout;
    rate->addWidget(new QLabel(text::kTxDataRateLabel));
    rate->addWidget(dataRate_, 1);
    auto* buttons = new QHBoxLayout;
    buttons->addLayout(rate, 1);
    buttons->addWidget(okButton_);
    buttons->addWidget(cancelButton_);

    auto* groups = new QHBoxLayout;
    groups->addWidget(info);
    groups->addWidget(state);
    auto* layout = new QVBoxLayout(this);
    layout->addLayout(groups);
    layout->addLayout(buttons);
    layout->setSizeConstraint(QLayout::SetFixedSize);

    form_.Read();
    ShowTexts();
    Connect();
}

void PortStateWindow::Connect() {
    for (int f = 0; f < kStateFieldCount; ++f) {
        const auto field = static_cast<StateField>(f);
        auto changed = [this, field](const QString& text) { OnTextChanged(field, text); };
        if (edits_[f] != nullptr) {
            connect(edits_[f], &QLineEdit::textChanged, this, changed);
        } else {
            connect(lists_[f], &QComboBox::currentTextChanged, this, changed);
        }
    }
    connect(okButton_, &QPushButton::clicked, this, &PortStateWindow::OnOk);
    connect(cancelButton_, &QPushButton::clicked, this, &QDialog::reject);
}

void PortStateWindow::Prepare() {
    form_.ReadCapabilities(messages_);
    for (int f = 0; f < kStateFieldCount; ++f) {
        QWidget* control = edits_[f] != nullptr ? static_cast<QWidget*>(edits_[f]) : lists_[f];
        control->setEnabled(form_.Enabled(static_cast<StateField>(f)));
    }
}

void PortStateWindow::ShowTexts() {
    for (int f = 0; f < kInfoFieldCount; ++f) {
        infoTexts_[f]->setText(ToQString(form_.Info()[f]));
    }
    for (int f = 0; f < kStateFieldCount; ++f) {
        const QString text = ToQString(form_.State()[f]);
        if (edits_[f] != nullptr) {
            edits_[f]->setText(text);
        } else {
            ShowInList(*lists_[f], text);
        }
    }
    dataRate_->setText(ToQString(form_.DataRate()));
}

// The data rate depends only on Divisor, ClockX, BRG Source, DPLL and TxClock among the
// controls, so recomputing it on every change shows what recomputing on those would.
void PortStateWindow::OnTextChanged(StateField field, const QString& text) {
    form_.SetText(field, ui::FromQString(text));
    dataRate_->setText(ToQString(form_.DataRate()));
}

void PortStateWindow::OnOk() {
    form_.Accept(messages_);
    accept();
}

}  // namespace qorval::dialogs
