// "Select Driver and Port": a drop-down list of the drivers present and one of the chosen
// driver's ports present; the list texts and their order come from the engine (port_lists.h).
#include <QComboBox>
#include <QDialog>
#include <QDialogButtonBox>
#include <QFormLayout>
#include <QPushButton>
#include <QVBoxLayout>

#include "analyser/port_lists.h"
#include "analyser/window/dialogs/analyser_dialogs.h"
#include "analyser/window/dialogs/dialog_parts.h"
#include "platform/window/qt_user_messages.h"

namespace qorval::analyser {
namespace {

constexpr const char* kTitle = "Select Driver and Port";
constexpr const char* kDriverLabel = "Driver:";
constexpr const char* kPortLabel = "Port:";

class CSelectDriverPortDlg : public QDialog {
  public:
    CSelectDriverPortDlg(QWidget* parent, const SystemInfo& info)
        : QDialog(parent),
          info_(info),
          drivers_(new QComboBox(this)),
          ports_(new QComboBox(this)),
          buttons_(dialogs::MakeOkCancelButtons(*this)) {
        setWindowTitle(kTitle);
        drivers_->setObjectName("driverList");
        ports_->setObjectName("portList");
        drivers_->setMinimumWidth(240);
        auto* form = new QFormLayout;
        form->addRow(kDriverLabel, drivers_);
        form->addRow(kPortLabel, ports_);
        auto* layout = new QVBoxLayout(this);
        layout->addLayout(form);
        layout->addWidget(buttons_);

        // Each entry becomes the selection as it is added, so the last one is selected.
        for (const ListEntry& entry : DriverListEntries(info_)) {
            drivers_->addItem(ui::ToQString(entry.text), entry.value);
        }
        drivers_->setCurrentIndex(drivers_->count() - 1);
        FillPorts();

        connect(drivers_, &QComboBox::currentIndexChanged, this, &CSelectDriverPortDlg::FillPorts);
    }

    PortChoice Choice() const {
        const auto driverIndex = static_cast<uint16_t>(drivers_->currentData().toUInt());
        return {info_.drivers[driverIndex].driverType,
                static_cast<uint16_t>(ports_->currentData().toUInt())};
    }

  private:
    // The ports of the selected driver, the last one selected. OK needs a port to open.
    void FillPorts() {
        ports_->clear();
        if (drivers_->currentIndex() >= 0) {
            const auto driverIndex = static_cast<uint16_t>(drivers_->currentData().toUInt());
            for (const ListEntry& entry : PortListEntries(info_, driverIndex)) {
                ports_->addItem(ui::ToQString(entry.text), entry.value);
            }
        }
        ports_->setCurrentIndex(ports_->count() - 1);
        buttons_->button(QDialogButtonBox::Ok)->setEnabled(ports_->count() > 0);
    }

    const SystemInfo& info_;
    QComboBox* drivers_;
    QComboBox* ports_;
    QDialogButtonBox* buttons_;
};

}  // namespace

std::optional<PortChoice> RunSelectDriverPortDialog(QWidget* parent, const SystemInfo& info) {
    CSelectDriverPortDlg dialog(parent, info);
    if (dialog.exec() != QDialog::Accepted) {
        return std::nullopt;
    }
    return dialog.Choice();
}

}  // namespace qorval::analyser
