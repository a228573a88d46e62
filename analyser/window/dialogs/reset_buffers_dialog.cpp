// "Reset Buffers": which of the port's buffers to empty, both boxes clear at first; OK hands
// them to ResetBuffersCommand, which does nothing when neither is ticked.
#include <QCheckBox>
#include <QDialog>
#include <QDialogButtonBox>
#include <QVBoxLayout>

#include "analyser/analyser_app.h"
#include "analyser/port_control.h"
#include "analyser/window/dialogs/analyser_dialogs.h"
#include "analyser/window/dialogs/dialog_parts.h"

namespace qorval::analyser {
namespace {

constexpr const char* kTitle = "Reset Buffers";
constexpr const char* kTransmit = "&Transmit buffers";
constexpr const char* kReceive = "&Receive buffers";

class CResetBuffersDlg : public QDialog {
  public:
    explicit CResetBuffersDlg(QWidget* parent)
        : QDialog(parent),
          transmit_(dialogs::MakeControl<QCheckBox>(kTransmit, "transmitBuffers", this)),
          receive_(dialogs::MakeControl<QCheckBox>(kReceive, "receiveBuffers", this)) {
        setWindowTitle(kTitle);
        auto* layout = new QVBoxLayout(this);
        layout->addWidget(transmit_);
        layout->addWidget(receive_);
        layout->addWidget(dialogs::MakeOkCancelButtons(*this));
    }

    bool Transmit() const { return transmit_->isChecked(); }
    bool Receive() const { return receive_->isChecked(); }

  private:
    QCheckBox* transmit_;
    QCheckBox* receive_;
};

}  // namespace

void RunResetBuffersDialog(QWidget* parent, CAnalyserApp& app, ui::UserMessages&) {
    if (!app.CheckPortSelected()) {
        return;
    }
    CResetBuffersDlg dialog(parent);
    if (dialog.exec() == QDialog::Accepted) {
        ResetBuffersCommand(app, dialog.Transmit(), dialog.Receive());
    }
}

}  // namespace qorval::analyser
