#include "analyser/window/dialogs/dialog_parts.h"

#include <QCheckBox>
#include <QDialog>
#include <QDialogButtonBox>
#include <QFontDatabase>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>

#include "analyser/analyser_app.h"
#include "analyser/port_control.h"
#include "platform/user_messages.h"
#include "platform/window/qt_user_messages.h"

namespace qorval::analyser::dialogs {
namespace {

// The Browse buttons open an ordinary open-file dialog; every file is listed first, since log,
// macro and send files are named freely.
constexpr const char* kBrowseCaption = "Open";
constexpr const char* kCloseCaption = "&Close";
constexpr const char* kBrowseFilter = "All Files (*.*)|*.*|Text Files (*.txt)|*.txt||";

}  // namespace

QDialogButtonBox* MakeOkCancelButtons(QDialog& dialog) {
    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, &dialog);
    buttons->button(QDialogButtonBox::Ok)->setObjectName("okButton");
    buttons->button(QDialogButtonBox::Cancel)->setObjectName("cancelButton");
    QObject::connect(buttons, &QDialogButtonBox::accepted, &dialog, &QDialog::accept);
    QObject::connect(buttons, &QDialogButtonBox::rejected, &dialog, &QDialog::reject);
    return buttons;
}

QPushButton* MakeCloseButton(QDialog& dialog) {
    QPushButton* close = MakeButton(kCloseCaption, "closeButton", &dialog);
    QObject::connect(close, &QPushButton::clicked, &dialog, &QDialog::accept);
    return close;
}

QHBoxLayout* MakeButtonRow(std::initializer_list<QWidget*> buttons) {
    auto* row = new QHBoxLayout;
    row->addStretch();
    for (QWidget* button : buttons) {
        row->addWidget(button);
    }
    return row;
}

QPushButton* MakeButton(std::string_view caption, const char* objectName, QWidget* parent) {
    return MakeControl<QPushButton>(caption, objectName, parent);
}

template <typename Control>
Control* MakeControl(std::string_view caption, const char* objectName, QWidget* parent) {
    auto* control = new Control(ui::ToQString(caption), parent);
    control->setObjectName(objectName);
    return control;
}
template QCheckBox* MakeControl<QCheckBox>(std::string_view, const char*, QWidget*);
template QRadioButton* MakeControl<QRadioButton>(std::string_view, const char*, QWidget*);
template QPushButton* MakeControl<QPushButton>(std::string_view, const char*, QWidget*);

QLabel* MakeValueLabel(const std::string& text, const char* objectName, QWidget* parent) {
    auto* label = new QLabel(ui::ToQString(text), parent);
    label->setObjectName(objectName);
    label->setFont(QFontDatabase::systemFont(QFontDatabase::FixedFont));
    label->setTextInteractionFlags(Qt::TextSelectableByMouse);
    return label;
}

FileNameRow::FileNameRow(std::string_view browseCaption, const char* editName,
                         const char* browseName, QWidget* parent)
    : QWidget(parent),
      edit_(new QLineEdit(this)),
      browse_(MakeButton(browseCaption, browseName, this)) {
    edit_->setObjectName(editName);
    edit_->setMinimumWidth(280);
    auto* layout = new QHBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->addWidget(edit_, 1);
    layout->addWidget(browse_);
}

std::string FileNameRow::FileName() const {
    return ui::FromQString(edit_->text());
}

void FileNameRow::SetFileName(const std::string& name) {
    edit_->setText(ui::ToQString(name));
}

std::optional<std::string> FileNameRow::Browse(ui::UserMessages& messages, bool mustExist) {
    ui::FileChoice choice;
    choice.mode = ui::FileChoiceMode::Open;
    choice.caption = kBrowseCaption;
    choice.filter = kBrowseFilter;
    choice.initialPath = FileName();
    choice.mustExist = mustExist;
    std::optional<std::string> chosen = messages.ChooseFile(choice);
    if (chosen) {
        SetFileName(*chosen);
    }
    return chosen;
}

void RefuseEntry(ui::UserMessages& messages, QLineEdit& edit, const std::string& refusal) {
    ui::ShowWarning(messages, refusal, CAnalyserApp::kCaption);
    edit.setFocus();
    edit.selectAll();
}

std::optional<int64_t> TakeInteger(ui::UserMessages& messages, QLineEdit& edit, int64_t min,
                                   int64_t max) {
    IntegerEntry entry = ParseIntegerEntry(ui::FromQString(edit.text()), min, max);
    if (!entry.value) {
        RefuseEntry(messages, edit, entry.refusal);
    }
    return entry.value;
}

}  // namespace qorval::analyser::dialogs
