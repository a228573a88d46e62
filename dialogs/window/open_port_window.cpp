#include "dialogs/window/open_port_window.h"

#include <QFormLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QListWidget>
#include <QPushButton>
#include <QSignalBlocker>
#include <QVBoxLayout>

#include "dialogs/dialog_texts.h"
#include "portaccess/driver_host_hint.h"
#include "portaccess/qorval32.h"

namespace qorval::dialogs {
namespace {

using ui::ToQString;

QLabel* ValueText(const char* objectName) {
    auto* label = new QLabel;
    label->setTextFormat(Qt::PlainText);
    label->setObjectName(objectName);
    label->setMinimumWidth(70);
    return label;
}

void Fill(QListWidget& list, const std::vector<std::string>& names, int selected) {
    const QSignalBlocker block(list);
    list.clear();
    for (const std::string& name : names) {
        list.addItem(ToQString(name));
    }
    list.setCurrentRow(selected);
}

}  // namespace

OpenPortWindow::OpenPortWindow(QWidget* parent)
    : QDialog(parent),
      driverList_(new QListWidget),
      portList_(new QListWidget),
      card_(ValueText("card")),
      address_(ValueText("address")),
      channel_(ValueText("channel")),
      available_(ValueText("available")),
      openButton_(new QPushButton(text::kOpenButton)),
      cancelButton_(new QPushButton(text::kCancelButton)) {
    setObjectName("openPortDialog");
    setWindowTitle(text::kOpenPortCaption);
    driverList_->setObjectName("driverList");
    portList_->setObjectName("portList");
    openButton_->setObjectName("openButton");
    cancelButton_->setObjectName("cancelButton");
    openButton_->setDefault(true);
    openButton_->setEnabled(false);
    // Room for the four drivers and the four ports a driver can list.
    for (QListWidget* list : {driverList_, portList_}) {
        list->setFixedSize(160, 80);
    }

    auto* selection = new QGroupBox(text::kPortSelectionGroup);
    auto* lists = new QVBoxLayout(selection);
    lists->addWidget(driverList_);
    lists->addWidget(portList_);

    auto* info = new QGroupBox(text::kPortInfoGroup);
    auto* texts = new QFormLayout(info);
    texts->addRow(text::kCardLabel, card_);
    texts->addRow(text::kAddressLabel, address_);
    texts->addRow(text::kChannelLabel, channel_);
    texts->addRow(text::kAvailableLabel, available_);

    auto* buttons = new QVBoxLayout;
    buttons->addWidget(openButton_);
    buttons->addWidget(cancelButton_);
    buttons->addStretch();

    auto* right = new QVBoxLayout;
    right->addWidget(info);
    right->addStretch();
    auto* layout = new QHBoxLayout(this);
    layout->addWidget(selection);
    layout->addLayout(right);
    layout->addLayout(buttons);
    layout->setSizeConstraint(QLayout::SetFixedSize);
    Connect();
}

void OpenPortWindow::Connect() {
    connect(driverList_, &QListWidget::currentRowChanged, this, &OpenPortWindow::OnDriverChanged);
    connect(portList_, &QListWidget::currentRowChanged, this, &OpenPortWindow::OnPortChanged);
    connect(openButton_, &QPushButton::clicked, this, &OpenPortWindow::OnOpen);
    connect(cancelButton_, &QPushButton::clicked, this, &QDialog::reject);
}

void OpenPortWindow::Prepare() {
    const uint32_t result = model_.Load();
    ShowDrivers();
    if (result != QORVAL_OK) {
        ui::ShowWarning(messages_, DriverHostHint(), text::kOpenPortCaption);
    }
}

void OpenPortWindow::OnDriverChanged(int row) {
    model_.SelectDriver(row);
    ShowPorts();
}

void OpenPortWindow::OnPortChanged(int row) {
    model_.SelectPort(row);
    ShowInfo();
}

void OpenPortWindow::OnOpen() {
    if (model_.Open(messages_)) {
        accept();
    }
}

void OpenPortWindow::ShowDrivers() {
    Fill(*driverList_, model_.Drivers(), model_.SelectedDriver());
    ShowPorts();
}

void OpenPortWindow::ShowPorts() {
    Fill(*portList_, model_.Ports(), model_.SelectedPort());
    ShowInfo();
}

void OpenPortWindow::ShowInfo() {
    const PortInfoTexts& info = model_.Info();
    card_->setText(ToQString(info.card));
    address_->setText(ToQString(info.address));
    channel_->setText(ToQString(info.channel));
    available_->setText(ToQString(info.available));
    openButton_->setEnabled(model_.OpenEnabled());
}

}  // namespace qorval::dialogs
