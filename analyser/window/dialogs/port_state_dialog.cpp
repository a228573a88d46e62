// "Port State": the settings of the port's PortState record, read as the dialog opens and on
// "&Get", written back on "&Set" with every byte the controls do not show as it was read. It
// stays open until "&Close".
#include <QButtonGroup>
#include <QCheckBox>
#include <QDialog>
#include <QFormLayout>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QVBoxLayout>
#include <array>
#include <vector>

#include "analyser/analyser_app.h"
#include "analyser/port_control.h"
#include "analyser/window/dialogs/analyser_dialogs.h"
#include "analyser/window/dialogs/dialog_parts.h"
#include "platform/window/qt_user_messages.h"

namespace qorval::analyser {
namespace {

constexpr const char* kTitle = "Port State";
constexpr const char* kLoopback = "&Loopback:";
constexpr const char* kRs485 = "&RS485:";
constexpr const char* kBlockRead = "Block Read:";
constexpr const char* kBlockWrite = "Block Write:";

// The edits in the order the engine takes them (PortStateEdit).
struct EditSpec {
    const char* label;
    const char* objectName;
};
constexpr std::array<EditSpec, 6> kEdits = {{
    {"Receive Timeout:", "rxTimeout"},
    {"Transmit Timeout:", "txTimeout"},
    {"Programmable Divisor:", "divisor"},
    {"Clock Multiplier:", "clockMultiplier"},
    {"Data bits:", "dataBits"},
    {"Stop bits:", "stopBits"},
}};

// A radio group: its buttons in the order of their index.
struct GroupSpec {
    const char* title;
    const char* objectPrefix;
    std::vector<const char*> buttons;
};
const GroupSpec kTxClock{"Tx Clock", "txClock", {"RXC", "TXC", "BRG", "DPLL"}};
const GroupSpec kRxClock{"Rx Clock", "rxClock", {"RXC", "TXC", "BRG", "DPLL"}};
const GroupSpec kParity{"Parity", "parity", {"NONE", "EVEN", "ODD"}};
const GroupSpec kBrgSource{"BRG Source", "brgSource", {"PCLK", "RTXC"}};

class CGetSetPortStateDlg : public QDialog {
  public:
    CGetSetPortStateDlg(QWidget* parent, CAnalyserApp& app, ui::UserMessages& messages)
        : QDialog(parent), app_(app), messages_(messages) {
        setWindowTitle(kTitle);
        auto* form = new QFormLayout;
        for (size_t i = 0; i < kEdits.size(); ++i) {
            edits_[i] = new QLineEdit(this);
            edits_[i]->setObjectName(kEdits[i].objectName);
            form->addRow(kEdits[i].label, edits_[i]);
        }
        loopback_ = dialogs::MakeControl<QCheckBox>(kLoopback, "loopback", this);
        rs485_ = dialogs::MakeControl<QCheckBox>(kRs485, "rs485", this);
        blockRead_ = dialogs::MakeControl<QCheckBox>(kBlockRead, "blockRead", this);
        blockWrite_ = dialogs::MakeControl<QCheckBox>(kBlockWrite, "blockWrite", this);
        blockRead_->setEnabled(false);
        blockWrite_->setEnabled(false);
        for (QCheckBox* box : {loopback_, rs485_, blockRead_, blockWrite_}) {
            box->setLayoutDirection(Qt::RightToLeft);  // the caption, then the box
            form->addRow(box);
        }

        auto* groups = new QGridLayout;
        txClock_ = AddGroup(kTxClock, *groups, 0, 0);
        rxClock_ = AddGroup(kRxClock, *groups, 0, 1);
        parity_ = AddGroup(kParity, *groups, 1, 0);
        brgSource_ = AddGroup(kBrgSource, *groups, 1, 1);

        auto* get = dialogs::MakeButton(dialogs::kGetCaption, "getButton", this);
        auto* set = dialogs::MakeButton(dialogs::kSetCaption, "setButton", this);
        auto* buttons = dialogs::MakeButtonRow({get, set, dialogs::MakeCloseButton(*this)});
        auto* columns = new QHBoxLayout;
        columns->addLayout(form);
        columns->addLayout(groups);
        auto* layout = new QVBoxLayout(this);
        layout->addLayout(columns);
        layout->addLayout(buttons);

        connect(get, &QPushButton::clicked, this, [this] { Read(true); });
        connect(set, &QPushButton::clicked, this, &CGetSetPortStateDlg::Write);
    }

    // The record from the port into the controls; "&Get" also says it worked.
    void Read(bool announce) {
        if (const std::optional<PortState> state = GetPortStateCommand(app_, announce)) {
            record_ = *state;
            haveRecord_ = true;
            Show(EntriesFromState(record_));
        }
    }

  private:
    QButtonGroup* AddGroup(const GroupSpec& choices, QGridLayout& grid, int row, int column) {
        auto* box = new QGroupBox(choices.title, this);
        auto* group = new QButtonGroup(box);
        auto* layout = new QVBoxLayout(box);
        for (size_t i = 0; i < choices.buttons.size(); ++i) {
            const std::string name = std::string(choices.objectPrefix) + choices.buttons[i];
            auto* radio = dialogs::MakeControl<QRadioButton>(choices.buttons[i], name.c_str(), box);
            group->addButton(radio, static_cast<int>(i));
            layout->addWidget(radio);
        }
        layout->addStretch();
        grid.addWidget(box, row, column);
        return group;
    }

    // Selects the button of `index`; none when the record holds no such value.
    static void Select(QButtonGroup& group, int index) {
        group.setExclusive(false);
        for (QAbstractButton* button : group.buttons()) {
            button->setChecked(group.id(button) == index);
        }
        group.setExclusive(true);
    }

    void Show(const PortStateEntries& entries) {
        const std::array<const std::string*, 6> texts = {
            &entries.rxTimeout,       &entries.txTimeout, &entries.divisor,
            &entries.clockMultiplier, &entries.dataBits,  &entries.stopBits};
        for (size_t i = 0; i < texts.size(); ++i) {
            edits_[i]->setText(ui::ToQString(*texts[i]));
        }
        Select(*txClock_, entries.txClock);
        Select(*rxClock_, entries.rxClock);
        Select(*parity_, entries.parity);
        Select(*brgSource_, entries.brgSource);
        loopback_->setChecked(entries.loopback);
        rs485_->setChecked(entries.rs485);
        blockRead_->setChecked(record_.blockRead != 0);
        blockWrite_->setChecked(record_.blockWrite != 0);
    }

    PortStateEntries Entries() const {
        PortStateEntries entries;
        std::array<std::string*, 6> texts = {&entries.rxTimeout, &entries.txTimeout,
                                             &entries.divisor,   &entries.clockMultiplier,
                                             &entries.dataBits,  &entries.stopBits};
        for (size_t i = 0; i < texts.size(); ++i) {
            *texts[i] = ui::FromQString(edits_[i]->text());
        }
        entries.txClock = txClock_->checkedId();
        entries.rxClock = rxClock_->checkedId();
        entries.parity = parity_->checkedId();
        entries.brgSource = brgSource_->checkedId();
        entries.loopback = loopback_->isChecked();
        entries.rs485 = rs485_->isChecked();
        return entries;
    }

    // The controls over the record as last read, then the port. A refused entry is said first;
    // the record still goes out with that field and the later ones as they were read. With no
    // record read yet, it is read now, so the fields the dialog does not show are never sent
    // as zeros.
    void Write() {
        if (!haveRecord_) {
            const std::optional<PortState> state = GetPortStateCommand(app_, false);
            if (!state) {
                return;
            }
            record_ = *state;
            haveRecord_ = true;
        }
        if (const auto refusal = ApplyPortStateEntries(Entries(), record_)) {
            dialogs::RefuseEntry(messages_, *edits_[static_cast<size_t>(refusal->edit)],
                                 refusal->text);
        }
        SetPortStateCommand(app_, record_);
    }

    CAnalyserApp& app_;
    ui::UserMessages& messages_;
    PortState record_{};
    bool haveRecord_ = false;
    std::array<QLineEdit*, kEdits.size()> edits_{};
    QCheckBox* loopback_;
    QCheckBox* rs485_;
    QCheckBox* blockRead_;
    QCheckBox* blockWrite_;
    QButtonGroup* txClock_;
    QButtonGroup* rxClock_;
    QButtonGroup* parity_;
    QButtonGroup* brgSource_;
};

}  // namespace

void RunPortStateDialog(QWidget* parent, CAnalyserApp& app, ui::UserMessages& messages) {
    if (!app.CheckPortSelected()) {
        return;
    }
    CGetSetPortStateDlg dialog(parent, app, messages);
    dialog.Read(false);
    dialog.exec();
}

}  // namespace qorval::analyser
