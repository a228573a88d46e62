// "Page Setup": the header and footer printed on every page ("&p" page number, "&f" file).
#include <QDialog>
#include <QDialogButtonBox>
#include <QFormLayout>
#include <QLineEdit>
#include <QVBoxLayout>

#include "analyser/window/dialogs/dialog_parts.h"
#include "analyser/window/views/analyser_views.h"
#include "platform/window/qt_user_messages.h"

namespace qorval::analyser::views {
namespace {

constexpr const char* kTitle = "Page Setup";
constexpr const char* kHeaderLabel = "Header:";
constexpr const char* kFooterLabel = "Footer:";

QLineEdit* MakeEdit(const std::string& text, const char* objectName, QWidget* parent) {
    auto* edit = new QLineEdit(ui::ToQString(text), parent);
    edit->setObjectName(objectName);
    edit->setMinimumWidth(280);
    return edit;
}

class CPageSetupDlg : public QDialog {
  public:
    CPageSetupDlg(QWidget* parent, const ViewSettings& settings)
        : QDialog(parent),
          header_(MakeEdit(settings.header, "header", this)),
          footer_(MakeEdit(settings.footer, "footer", this)) {
        setWindowTitle(kTitle);
        auto* form = new QFormLayout;
        form->addRow(kHeaderLabel, header_);
        form->addRow(kFooterLabel, footer_);
        auto* layout = new QVBoxLayout(this);
        layout->addLayout(form);
        layout->addWidget(dialogs::MakeOkCancelButtons(*this));
    }

    std::string Header() const { return ui::FromQString(header_->text()); }
    std::string Footer() const { return ui::FromQString(footer_->text()); }

  private:
    QLineEdit* header_;
    QLineEdit* footer_;
};

}  // namespace

void RunPageSetupDialog(QWidget* parent, ViewSettings& settings) {
    CPageSetupDlg dialog(parent, settings);
    if (dialog.exec() == QDialog::Accepted) {
        settings.header = dialog.Header();
        settings.footer = dialog.Footer();
    }
}

}  // namespace qorval::analyser::views
