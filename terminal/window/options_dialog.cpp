#include "terminal/window/options_dialog.h"

#include <QDialogButtonBox>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QVBoxLayout>

#include "platform/window/qt_user_messages.h"
#include "terminal/user_interface.h"
#include "terminal/window/window_texts.h"

namespace qorval::terminal::window {

OptionsDialog::OptionsDialog(bool echo, const std::string& download_dir,
                             ui::UserMessages& messages, QWidget* parent)
    : QDialog(parent),
      messages_(messages),
      echo_on_(new QRadioButton(kOptionsOn, this)),
      directory_(new QLineEdit(ui::ToQString(download_dir), this)),
      echo_(echo),
      download_dir_(download_dir) {
    setObjectName("optionsDialog");
    setWindowTitle(kOptionsCaption);

    auto* echo_group = new QGroupBox(kOptionsEcho, this);
    auto* echo_off = new QRadioButton(kOptionsOff, echo_group);
    echo_off->setObjectName("echoOff");
    echo_on_->setObjectName("echoOn");
    echo_on_->setParent(echo_group);
    (echo ? echo_on_ : echo_off)->setChecked(true);
    auto* echo_layout = new QHBoxLayout(echo_group);
    echo_layout->addWidget(echo_off);
    echo_layout->addWidget(echo_on_);

    auto* directory_label = new QLabel(kOptionsDirectory, this);
    directory_label->setBuddy(directory_);
    directory_->setObjectName("downloadDirectory");
    directory_->setMinimumWidth(280);
    auto* browse = new QPushButton(kOptionsBrowse, this);
    browse->setObjectName("browseButton");
    browse->setEnabled(false);
    auto* directory_row = new QHBoxLayout;
    directory_row->addWidget(directory_);
    directory_row->addWidget(browse);

    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, this);
    connect(buttons, &QDialogButtonBox::accepted, this, &OptionsDialog::accept);
    connect(buttons, &QDialogButtonBox::rejected, this, &OptionsDialog::reject);

    auto* layout = new QVBoxLayout(this);
    layout->addWidget(echo_group);
    layout->addWidget(directory_label);
    layout->addLayout(directory_row);
    layout->addWidget(buttons);
}

void OptionsDialog::accept() {
    // An empty directory cannot be taken: received files would be placed at "/" + name.
    const std::string directory = ui::FromQString(directory_->text().trimmed());
    if (directory.empty()) {
        ui::ShowError(messages_, kOptionsUnreadable, kCaption);
        return;
    }
    echo_ = echo_on_->isChecked();
    download_dir_ = directory;
    QDialog::accept();
}

}  // namespace qorval::terminal::window
