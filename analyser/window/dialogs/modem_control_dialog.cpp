// "Modem Controls": the eight bits of the modem control word, read as the dialog opens and on
// "&Get", sent on "&Set"; the four inputs are shown, not changed. It stays open until "&Close".
#include <QCheckBox>
#include <QDialog>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QPushButton>
#include <QVBoxLayout>
#include <array>

#include "analyser/analyser_app.h"
#include "analyser/port_control.h"
#include "analyser/window/dialogs/analyser_dialogs.h"
#include "analyser/window/dialogs/dialog_parts.h"

namespace qorval::analyser {
namespace {

constexpr const char* kTitle = "Modem Controls";

struct ModemBit {
    uint16_t bit;
    const char* caption;
    const char* objectName;
    bool input;  // a line the port reads: shown disabled
};
constexpr std::array<ModemBit, 8> kModemBits = {{
    {0x01, "DTR On", "dtrOn", false},
    {0x02, "RTS On", "rtsOn", false},
    {0x04, "LL On", "llOn", false},
    {0x08, "RL On", "rlOn", false},
    {0x10, "DSR On", "dsrOn", true},
    {0x20, "DCD On", "dcdOn", true},
    {0x40, "CTS On", "ctsOn", true},
    {0x80, "RI On", "riOn", true},
}};

class CModemControlDlg : public QDialog {
  public:
    CModemControlDlg(QWidget* parent, CAnalyserApp& app) : QDialog(parent), app_(app) {
        setWindowTitle(kTitle);
        // Outputs in the first column, inputs in the second.
        auto* grid = new QGridLayout;
        for (size_t i = 0; i < kModemBits.size(); ++i) {
            const ModemBit& bit = kModemBits[i];
            boxes_[i] = dialogs::MakeControl<QCheckBox>(bit.caption, bit.objectName, this);
            boxes_[i]->setEnabled(!bit.input);
            grid->addWidget(boxes_[i], static_cast<int>(i % 4), bit.input ? 1 : 0);
        }
        auto* get = dialogs::MakeButton(dialogs::kGetCaption, "getButton", this);
        auto* set = dialogs::MakeButton(dialogs::kSetCaption, "setButton", this);
        auto* buttons = dialogs::MakeButtonRow({get, set, dialogs::MakeCloseButton(*this)});
        auto* layout = new QVBoxLayout(this);
        layout->addLayout(grid);
        layout->addLayout(buttons);

        connect(get, &QPushButton::clicked, this, &CModemControlDlg::Get);
        connect(set, &QPushButton::clicked, this, &CModemControlDlg::Set);
    }

    void Get() {
        if (const std::optional<uint16_t> word = GetModemCommand(app_)) {
            for (size_t i = 0; i < kModemBits.size(); ++i) {
                boxes_[i]->setChecked((*word & kModemBits[i].bit) != 0);
            }
        }
    }

  private:
    // Every box, the inputs as last shown.
    void Set() {
        uint16_t word = 0;
        for (size_t i = 0; i < kModemBits.size(); ++i) {
            word |= boxes_[i]->isChecked() ? kModemBits[i].bit : 0;
        }
        SetModemCommand(app_, word);
    }

    CAnalyserApp& app_;
    std::array<QCheckBox*, kModemBits.size()> boxes_{};
};

}  // namespace

void RunModemControlDialog(QWidget* parent, CAnalyserApp& app, ui::UserMessages&) {
    if (!app.CheckPortSelected()) {
        return;
    }
    CModemControlDlg dialog(parent, app);
    dialog.Get();
    dialog.exec();
}

}  // namespace qorval::analyser
