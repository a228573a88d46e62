// "Set Tab Stops": the tab distance in average characters (the setting ÷ 4), 1 to 16.
#include <QDialog>
#include <QDialogButtonBox>
#include <QFormLayout>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QVBoxLayout>

#include "analyser/window/dialogs/dialog_parts.h"
#include "analyser/window/views/analyser_views.h"
#include "analyser/window/views/view_parts.h"

namespace qorval::analyser::views {
namespace {

constexpr const char* kTitle = "Set Tab Stops";
constexpr const char* kTabStopsLabel = "Tab Stops:";
constexpr int kDialogUnitsPerStop = 4;
constexpr int kFewest = 1;
constexpr int kMost = 16;

class CSetTabStops : public QDialog {
  public:
    CSetTabStops(QWidget* parent, int tabStops, ui::UserMessages& messages)
        : QDialog(parent), messages_(messages), edit_(new QLineEdit(this)) {
        setWindowTitle(kTitle);
        edit_->setObjectName("tabStops");
        edit_->setText(QString::number(tabStops / kDialogUnitsPerStop));
        auto* form = new QFormLayout;
        form->addRow(kTabStopsLabel, edit_);
        auto* layout = new QVBoxLayout(this);
        layout->addLayout(form);
        layout->addWidget(dialogs::MakeOkCancelButtons(*this));
    }

    int TabStops() const { return value_ * kDialogUnitsPerStop; }

    // A refused entry keeps the dialog open on the edit.
    void accept() override {
        if (const auto value = dialogs::TakeInteger(messages_, *edit_, kFewest, kMost)) {
            value_ = static_cast<int>(*value);
            QDialog::accept();
        }
    }

  private:
    ui::UserMessages& messages_;
    QLineEdit* edit_;
    int value_ = 0;
};

}  // namespace

void RunSetTabStopsDialog(QPlainTextEdit& view, QWidget* parent, ViewSettings& settings,
                          ui::UserMessages& messages) {
    CSetTabStops dialog(parent, settings.tabStops, messages);
    if (dialog.exec() == QDialog::Accepted) {
        settings.tabStops = dialog.TabStops();
        ApplyTabStops(view, settings.tabStops);
    }
}

}  // namespace qorval::analyser::views
