#include "applet/window/driver_info_page.h"

#include <QGridLayout>
#include <QLabel>

#include "applet/add_rules.h"
#include "applet/model_edits.h"
#include "applet/page_edits.h"
#include "applet/page_enables.h"
#include "applet/window/add_card_dialog.h"
#include "applet/window/config_sheet.h"

namespace qorval::applet::window {

namespace {

constexpr const char* kNoDriversText =
    "There are no Qorval drivers currently defined.\nBefore you can configure any Qorval "
    "ports,\nyou must define a driver by pressing the\n'Add Driver' button.";

QPushButton* MakeButton(QWidget* parent, const char* text, const char* name) {
    auto* button = new QPushButton(QString::fromUtf8(text), parent);
    button->setObjectName(name);
    return button;
}

}  // namespace

CDriverInfoPage::CDriverInfoPage(CConfigSheet& sheet)
    : ConfigPage(sheet, "driverInfoPage", 133, true),
      card_type_(new QLineEdit(this)),
      channel_(new QLineEdit(this)),
      driver_enabled_(new QCheckBox("Driver is enabled", this)),
      port_enabled_(new QCheckBox("Port is enabled", this)),
      add_driver_(MakeButton(this, "Add Driver", "addDriver")),
      remove_driver_(MakeButton(this, "Remove Driver", "removeDriver")),
      add_card_(MakeButton(this, "Add Card", "addCard")),
      remove_card_(MakeButton(this, "Remove Card", "removeCard")),
      add_driver_menu_(this) {
    setWindowTitle("Driver Info");
    card_type_->setObjectName("cardType");
    card_type_->setReadOnly(true);
    channel_->setObjectName("channel");
    channel_->setReadOnly(true);
    driver_enabled_->setObjectName("driverEnabled");
    port_enabled_->setObjectName("portEnabled");
    AddRow("Card Type *", card_type_);
    AddRow("Channel", channel_);
    Form()->addWidget(driver_enabled_, 2, 0, 1, 2);
    Form()->addWidget(port_enabled_, 3, 0, 1, 2);
    Form()->addWidget(add_driver_, 0, 2);
    Form()->addWidget(remove_driver_, 1, 2);
    Form()->addWidget(add_card_, 2, 2);
    Form()->addWidget(remove_card_, 3, 2);
    auto* note =
        new QLabel("* Note: Refer to Install.hlp for the corresponding card type models.", this);
    note->setWordWrap(true);
    Form()->addWidget(note, 4, 0, 1, 3);

    add_driver_menu_.setObjectName("addDriverMenu");
    for (int32_t type = 0; type < kDriverTypeCount; ++type) {
        QAction* item = add_driver_menu_.addAction(
            QString::fromUtf8(std::string(DriverInfo(type).description).c_str()));
        item->setData(type);
    }
    connect(add_driver_, &QPushButton::clicked, this, &CDriverInfoPage::ShowAddDriverMenu);
    connect(add_card_, &QPushButton::clicked, this, &CDriverInfoPage::AddCardToDriver);
    connect(remove_driver_, &QPushButton::clicked, this, &CDriverInfoPage::RemoveSelectedDriver);
    connect(remove_card_, &QPushButton::clicked, this, &CDriverInfoPage::RemoveSelectedCard);
    connect(driver_enabled_, &QCheckBox::clicked, this, [this](bool on) {
        SetDriverEnabled(Model(), on);
        Edited();
    });
    connect(port_enabled_, &QCheckBox::clicked, this, [this](bool on) {
        SetPortEnabled(Model(), on);
        Edited();
    });
}

void CDriverInfoPage::Activate() {
    ConfigPage::Activate();
    if (Model().driver_count == 0) {
        ui::ShowWarning(User(), kNoDriversText, "No Drivers Defined");
    }
}

void CDriverInfoPage::Fill() {
    const bool port = HasPort();
    const PortEntry* entry = port ? &Model().selected() : nullptr;
    card_type_->setText(entry ? QString::fromUtf8(std::string(CardModelName(entry->Card)).c_str())
                              : QString());
    channel_->setText(!entry ? QString() : entry->Channel == 1 ? "B" : "A");
    driver_enabled_->setChecked(port && Model().driver(Model().selected_driver).Start ==
                                            kStartEnabled);
    port_enabled_->setChecked(entry != nullptr && entry->Enabled != 0);
}

void CDriverInfoPage::ApplyEnables() {
    const DriverInfoEnables on = DriverInfoEnablesOf(Model());
    card_type_->setEnabled(on.card_type);
    channel_->setEnabled(on.channel);
    port_enabled_->setEnabled(on.port_enabled);
    driver_enabled_->setEnabled(on.driver_enabled);
    add_driver_->setEnabled(on.add_driver);
    remove_driver_->setEnabled(on.remove_driver);
    add_card_->setEnabled(on.add_card);
    remove_card_->setEnabled(on.remove_card);
    const auto items = applet::AddDriverMenu(Model());
    const QList<QAction*> actions = add_driver_menu_.actions();
    for (qsizetype i = 0; i < actions.size(); ++i) {
        actions[i]->setEnabled(!items[static_cast<size_t>(i)].grayed);
    }
}

void CDriverInfoPage::Edited() {
    RebuildTree();
    Refresh();
}

void CDriverInfoPage::ShowAddDriverMenu() {
    ApplyEnables();
    // The menu's right edge at the button's left edge, its top at the button's top.
    const QPoint corner = add_driver_->mapToGlobal(QPoint(0, 0));
    QAction* chosen =
        add_driver_menu_.exec(corner - QPoint(add_driver_menu_.sizeHint().width(), 0));
    if (chosen != nullptr) {
        AddDriverOfType(chosen->data().toInt());
    }
}

PcmciaReader CDriverInfoPage::PcmciaOfStore() {
    return [this] { return ReadPcmciaResourcesAt(Sheet().Paths()); };
}

void CDriverInfoPage::AddDriverOfType(int32_t type) {
    CAddCardDialog dialog(this, type == kWyvel32 ? "Pine" : "Hazel", User(),
                          PcmciaOfStore());
    if (dialog.exec() != QDialog::Accepted) {
        return;
    }
    if (CheckAddDriver(Model(), type, dialog.BaseAddress(), dialog.Card(), User())) {
        (void)AddDriver(Model(), type, dialog.BaseAddress(), dialog.Card(), User(),
                        PcmciaOfStore());
    }
    Edited();
}

void CDriverInfoPage::AddCardToDriver() {
    const int32_t type = Model().driver(Model().selected_driver).driver_type;
    CAddCardDialog dialog(this, type == kWyvel32 ? "Pine" : "Hazel", User(),
                          PcmciaOfStore());
    if (dialog.exec() != QDialog::Accepted) {
        return;
    }
    if (CheckAddCard(Model(), dialog.BaseAddress(), dialog.Card(), User())) {
        (void)AddCard(Model(), dialog.BaseAddress(), dialog.Card(), User(),
                      PcmciaOfStore());
    }
    Edited();
}

void CDriverInfoPage::RemoveSelectedDriver() {
    const std::string description =
        Model().driver_count > 0 ? Model().driver(Model().selected_driver).description : "";
    if (!ui::AskYesNo(User(), "Remove the " + description + " driver?", "Remove Driver")) {
        return;
    }
    if (Model().driver_count == 0) {
        ui::ShowError(User(), "There are no drivers defined.", "Error");
        return;
    }
    RemoveDriver(Model());
    Edited();
}

void CDriverInfoPage::RemoveSelectedCard() {
    const std::string& description = Model().driver(Model().selected_driver).description;
    if (!ui::AskYesNo(User(), "Remove selected card from " + description + " driver?",
                      "Remove Port")) {
        return;
    }
    (void)RemoveCard(Model(), User());
    Edited();
}

}  // namespace qorval::applet::window
